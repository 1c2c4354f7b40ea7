#include "number_argument.h"

#include <gtest/gtest.h>

#include <cmath>

namespace marvok::command_line {
namespace {

TEST(NumberArgument, TakesOnlyAWholeNumberInRange) {
  const std::vector<std::pair<std::string_view, std::optional<long>>> cases = {
      {"0", 0},
      {"10", 10},
      {"007", 7},
      {"11", std::nullopt},
      {"-1", std::nullopt},
      {"", std::nullopt},
      {"+3", std::nullopt},
      {" 3", std::nullopt},
      {"3 ", std::nullopt},
      {"12ms", std::nullopt},
      {"0x3", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parse_number<long>(text, 0, 10), expected) << text;
}

TEST(NumberArgument, RefusesRealNumbersOutsideTheRangeAndNotANumber) {
  EXPECT_EQ(parse_number(std::string_view("2.5"), 0.0, 86'400.0), 2.5);
  for (const std::string_view text : {"nan", "inf", "1e9", "-0.5", "2.5s"})
    EXPECT_FALSE(parse_number(text, 0.0, 86'400.0)) << text;
}

TEST(NumberArgument, DigitsAreAtLeastOneAndNothingElse) {
  EXPECT_TRUE(all_digits("0123456789"));
  for (const std::string_view text : {"", "12a4", "-1", "+1", " 1", "1.0"}) EXPECT_FALSE(all_digits(text)) << text;
}

}  // namespace
}  // namespace marvok::command_line
