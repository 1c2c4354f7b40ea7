#include "state/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marvok {
namespace {

TEST(Utf8Test, ReadsCharactersOfEveryLength) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string expected;
  };
  const std::vector<Case> cases = {
      {"ascii", "Speaker", u"Speaker"},
      {"two bytes", "Micro \xC3\xA9", u"Micro é"},
      {"three bytes", "\xE2\x82\xAC", u"€"},
      {"four bytes, as a pair", "\xF0\x9F\x8E\xA4", u"🎤"},
      {"largest character", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"nul kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_to_utf16(c.bytes), c.expected) << c.name;
}

TEST(Utf8Test, MarksEachByteOfABrokenSequence) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string expected;
  };
  const std::vector<Case> cases = {
      {"byte that starts nothing",
       "a\xFF"
       "b",
       u"a\uFFFDb"},
      {"lone continuation", "\x80", u"\uFFFD"},
      {"cut short before another character",
       "\xE2\x82"
       "A",
       u"\uFFFD\uFFFDA"},
      {"cut short at the end", "\xF0\x9F\x8E", u"\uFFFD\uFFFD\uFFFD"},
      {"overlong two bytes", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"broken then whole", "\xC3\xC3\xA9", u"\uFFFDé"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_to_utf16(c.bytes), c.expected) << c.name;
}

TEST(Utf8Test, WritesCharactersAndMarksLoneSurrogates) {
  struct Case {
    const char* name;
    std::u16string text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"ascii", u"Marvok", "Marvok"},
      {"two bytes", u"é", "\xC3\xA9"},
      {"three bytes", u"€", "\xE2\x82\xAC"},
      {"pair", u"🎤", "\xF0\x9F\x8E\xA4"},
      {"lone high surrogate", std::u16string(u"\xD83Cx"), "\xEF\xBF\xBDx"},
      {"lone low surrogate at the end", std::u16string(u"x\xDFA4"), "x\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf16_to_utf8(c.text), c.expected) << c.name;
}

TEST(Utf8Test, WholeTextComesBackUnchanged) {
  const std::u16string text = u"Casque USB « Jabra » – 🎧 ×2";
  EXPECT_EQ(utf8_to_utf16(utf16_to_utf8(text)), text);
}

}  // namespace
}  // namespace marvok
