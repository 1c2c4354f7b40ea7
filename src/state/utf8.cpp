#include "state/utf8.h"

#include <cstdint>

#include "state/utf16_surrogates.h"

namespace marvok {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct Lead {
  // Continuation bytes that follow; 0 for a byte that starts no character.
  int continuations;
  // The range allowed for the first continuation, which rules out overlong
  // forms, surrogates and what lies beyond U+10FFFF.
  std::uint8_t first_low;
  std::uint8_t first_high;
};

Lead lead_of(std::uint8_t byte) {
  if (byte >= 0xC2 && byte <= 0xDF) return {1, 0x80, 0xBF};
  if (byte == 0xE0) return {2, 0xA0, 0xBF};
  if (byte == 0xED) return {2, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {2, 0x80, 0xBF};
  if (byte == 0xF0) return {3, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {3, 0x80, 0xBF};
  if (byte == 0xF4) return {3, 0x80, 0x8F};
  return {0, 0, 0};
}

void append_utf16(std::u16string& text, char32_t code) {
  if (code < 0x10000) {
    text.push_back(static_cast<char16_t>(code));
    return;
  }
  code -= 0x10000;
  text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
  text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}

void append_utf8(std::string& bytes, char32_t code) {
  const auto byte = [&bytes](char32_t value) { bytes.push_back(static_cast<char>(value)); };
  if (code < 0x80) {
    byte(code);
  } else if (code < 0x800) {
    byte(0xC0 | code >> 6);
    byte(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    byte(0xE0 | code >> 12);
    byte(0x80 | (code >> 6 & 0x3F));
    byte(0x80 | (code & 0x3F));
  } else {
    byte(0xF0 | code >> 18);
    byte(0x80 | (code >> 12 & 0x3F));
    byte(0x80 | (code >> 6 & 0x3F));
    byte(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto first = static_cast<std::uint8_t>(bytes[at++]);
    if (first < 0x80) {
      text.push_back(first);
      continue;
    }
    const Lead lead = lead_of(first);
    char32_t code = first & (0x3F >> lead.continuations);
    bool whole = lead.continuations > 0;
    int taken = 1;
    for (int i = 0; whole && i < lead.continuations; ++i) {
      const auto next = at < bytes.size() ? static_cast<std::uint8_t>(bytes[at]) : 0;
      const std::uint8_t low = i == 0 ? lead.first_low : 0x80;
      const std::uint8_t high = i == 0 ? lead.first_high : 0xBF;
      // A byte that does not continue the character starts the next one.
      whole = at < bytes.size() && next >= low && next <= high;
      if (whole) {
        code = code << 6 | (next & 0x3F);
        ++at;
        ++taken;
      }
    }
    if (whole) {
      append_utf16(text, code);
    } else {
      text.append(static_cast<std::size_t>(taken), static_cast<char16_t>(kReplacement));
    }
  }
  return text;
}

std::string utf16_to_utf8(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
      append_utf8(bytes, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[++i] - 0xDC00));
    } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
      append_utf8(bytes, kReplacement);
    } else {
      append_utf8(bytes, unit);
    }
  }
  return bytes;
}

}  // namespace marvok
