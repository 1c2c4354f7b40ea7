#pragma once

#include <string_view>

namespace marvok::platform {

// Writes UTF-8 text to the console in the console's own encoding and flushes
// it, so that a trace shows at once and its accents read right.
void print_console_text(std::string_view utf8_text);

}  // namespace marvok::platform
