#pragma once

// The system's wide texts are UTF-16: ours are UTF-8.
#include <string>
#include <string_view>

#include "state/utf8.h"

namespace marvok::platform {

inline std::wstring to_wide(std::string_view utf8_text) {
  const std::u16string text = utf8_to_utf16(utf8_text);
  return {text.begin(), text.end()};
}

inline std::string from_wide(std::wstring_view text) { return utf16_to_utf8(std::u16string(text.begin(), text.end())); }

}  // namespace marvok::platform
