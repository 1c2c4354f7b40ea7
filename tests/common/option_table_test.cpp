#include "option_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace marvok::command_line {
namespace {

constexpr Option kTable[] = {
    {"--port", "PORT", "its port"},
    {"--name", "TEXT", "its name"},
    {"--quiet", "", "say less"},
};

struct Case {
  std::vector<std::string_view> arguments;
  Repeats repeats;
  std::vector<std::pair<std::string_view, std::string_view>> given;  // when read
  std::string_view error;                                            // when refused
};

TEST(OptionTable, ReadsOrRefusesEachCommandLine) {
  constexpr auto kOnce = Repeats::Refused;
  constexpr auto kAgain = Repeats::Allowed;
  const Case cases[] = {
      {{}, kOnce, {}, ""},
      {{"--port", "8443", "--name=Lyon"}, kOnce, {{"--port", "8443"}, {"--name", "Lyon"}}, ""},
      // Only the first '=' ends the name; a value may be empty or look like an option.
      {{"--name=a=b", "--port="}, kOnce, {{"--name", "a=b"}, {"--port", ""}}, ""},
      {{"--name", "--port"}, kOnce, {{"--name", "--port"}}, ""},
      {{"--quiet", "--port", "1"}, kOnce, {{"--quiet", ""}, {"--port", "1"}}, ""},
      {{"--port", "1", "--port", "2"}, kAgain, {{"--port", "1"}, {"--port", "2"}}, ""},
      {{"--port", "1", "--port=2"}, kOnce, {}, "--port is given twice"},
      {{"--quiet", "--quiet"}, kOnce, {}, "--quiet is given twice"},
      {{"--port"}, kOnce, {}, "--port needs a value"},
      // A missing value is said before a repeat.
      {{"--port", "1", "--port"}, kOnce, {}, "--port needs a value"},
      {{"--quiet=yes"}, kOnce, {}, "--quiet takes no value"},
      {{"--verbose"}, kOnce, {}, "unknown option --verbose"},
      {{"--verbose=1"}, kOnce, {}, "unknown option --verbose"},
      {{"-p", "1"}, kOnce, {}, "unknown option -p"},
      {{"--por", "1"}, kOnce, {}, "unknown option --por"},
      {{"8443"}, kOnce, {}, "unexpected argument 8443"},
      {{"name=Lyon"}, kOnce, {}, "unexpected argument name=Lyon"},
      {{"--port", "1", "extra"}, kOnce, {}, "unexpected argument extra"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const GivenOptions read = read_options(c.arguments, kTable, c.repeats);
    EXPECT_EQ(read.error, c.error);
    if (!c.error.empty()) continue;
    ASSERT_EQ(read.given.size(), c.given.size());
    for (std::size_t i = 0; i < c.given.size(); ++i) {
      EXPECT_EQ(read.given[i].name, c.given[i].first);
      EXPECT_EQ(read.given[i].value, c.given[i].second);
    }
  }
}

TEST(OptionTable, HelpIsAskedAnywhereButNotInsideAnotherArgument) {
  const std::vector<std::pair<std::vector<std::string_view>, bool>> cases = {
      {{"--help"}, true}, {{"-h"}, true},        {{"--verbose", "--help"}, true}, {{"--name", "--help"}, true},
      {{}, false},        {{"--help=1"}, false}, {{"--name=--help"}, false},      {{"help"}, false},
  };
  for (const auto& [arguments, asks] : cases)
    EXPECT_EQ(asks_for_help(arguments), asks) << ::testing::PrintToString(arguments);
}

}  // namespace
}  // namespace marvok::command_line
