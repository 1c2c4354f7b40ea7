// Request paths as they go out, whichever transport carries them.
#include "platform/https_session.h"

namespace marvok::platform {

std::string escape_request_path(std::string_view path) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  constexpr std::string_view kUnsafe = "\"<>\\^`{|}";
  std::string escaped;
  escaped.reserve(path.size());
  for (const char character : path) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte <= 0x20 || byte >= 0x7F || kUnsafe.find(character) != std::string_view::npos) {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    } else {
      escaped += character;
    }
  }
  return escaped;
}

}  // namespace marvok::platform
