#pragma once

#include <string>
#include <string_view>

namespace marvok::fuzz {

// What the client's record reader must make of a text: every "&#xE9;" as é in
// UTF-8, everything else exactly as it stands.
inline std::string with_e_acute_decoded(std::string_view text) {
  std::string result;
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, 6) == "&#xE9;") {
      result += "\xC3\xA9";
      i += 6;
    } else {
      result += text[i++];
    }
  }
  return result;
}

}  // namespace marvok::fuzz
