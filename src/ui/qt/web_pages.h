#pragma once

#include <string>

namespace marvok::ui {

// Opens a web page in the member's browser; false when none could be started.
bool open_web_page(const std::string& url);

}  // namespace marvok::ui
