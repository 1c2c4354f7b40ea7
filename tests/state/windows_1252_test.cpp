#include "state/windows_1252.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "state/utf8.h"

namespace marvok {
namespace {

TEST(Windows1252Test, ConvertsCharacters) {
  struct Case {
    std::u16string text;
    std::string expected;
  };
  // A control code the code page lacks, a character beyond it (one even in two units) and a lone
  // surrogate each become '?'.
  const std::vector<Case> cases = {
      {u"é", "\xE9"},   {u"\u00A0", "\xA0"}, {u"€", "\x80"}, {u"’", "\x92"},     {u"Ÿ", "\x9F"},
      {u"\u0081", "?"}, {u"中", "?"},        {u"😀", "?"},    {u"\xD800x", "?x"},
  };
  for (const auto& c : cases) EXPECT_EQ(to_windows_1252(c.text), c.expected);
}

TEST(Windows1252Test, ReadsBytesBack) {
  // Every byte the code page uses comes back as what it was made from; the
  // five it leaves unused are marked as unknown.
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  const std::u16string text = from_windows_1252(all);
  ASSERT_EQ(text.size(), all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (text[i] == u'\uFFFD') continue;
    EXPECT_EQ(to_windows_1252(text.substr(i, 1)), all.substr(i, 1)) << i;
  }
  EXPECT_EQ(std::count(text.begin(), text.end(), u'\uFFFD'), 5);
  EXPECT_EQ(from_windows_1252("Andr\xE9 \x80"), u"André €");
}

}  // namespace
}  // namespace marvok
