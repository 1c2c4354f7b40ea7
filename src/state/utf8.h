#pragma once

#include <string>
#include <string_view>

namespace marvok {

// UTF-8, the text of the system on Linux: the sound server names its devices
// in it and the demo member prints in it.

// The text in UTF-16. Each byte of a broken sequence becomes U+FFFD: a byte
// that cannot start a character, or the start of a character that is cut
// short, overlong, a surrogate or beyond U+10FFFF.
std::u16string utf8_to_utf16(std::string_view bytes);

// The text in UTF-8; a surrogate without its pair becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view text);

}  // namespace marvok
