#include "platform/console.h"

#include <cstdio>

namespace marvok::platform {

// Linux consoles read UTF-8.
void print_console_text(std::string_view utf8_text) {
  std::fwrite(utf8_text.data(), 1, utf8_text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace marvok::platform
