#pragma once

#include <string>
#include <string_view>

namespace marvok {

// The text in UTF-8; a lone surrogate becomes U+FFFD.
std::string to_utf8(std::u16string_view text);

}  // namespace marvok
