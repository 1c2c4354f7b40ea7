#include "state/windows_1252.h"

#include <array>
#include <cstdint>

#include "state/utf16_surrogates.h"

namespace marvok {

namespace {

// Bytes 0x80 to 0x9F, which the code page gives to typographic characters
// where Latin-1 has control codes; 0 where it leaves a byte unused.
constexpr std::array<char16_t, 32> kHighControls = {u'€', 0,    u'‚', u'ƒ', u'„', u'…', u'†', u'‡', u'ˆ', u'‰', u'Š',
                                                    u'‹', u'Œ', 0,    u'Ž', 0,    0,    u'‘', u'’', u'“', u'”', u'•',
                                                    u'–', u'—', u'˜', u'™', u'š', u'›', u'œ', 0,    u'ž', u'Ÿ'};

char to_byte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] != 0 && kHighControls[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string to_windows_1252(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (is_high_surrogate(text[i]) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
      bytes.push_back('?');  // beyond the code page, as any character outside 16 bits is
      ++i;
      continue;
    }
    bytes.push_back(to_byte(text[i]));
  }
  return bytes;
}

std::u16string from_windows_1252(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (const char byte : bytes) {
    const auto code = static_cast<std::uint8_t>(byte);
    if (code < 0x80 || code >= 0xA0) {
      text.push_back(static_cast<char16_t>(code));
    } else {
      const char16_t high = kHighControls[code - 0x80];
      text.push_back(high != 0 ? high : u'\uFFFD');
    }
  }
  return text;
}

}  // namespace marvok
