#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace marvok::talksrv {
namespace {

TEST(TalksrvCommandLine, TakesTheKeyInBothFormsAndPauseOtherwise) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string_view>> cases = {
      {{}, "Pause"},
      {{"--key", "F12"}, "F12"},
      {{"--key=Scroll_Lock"}, "Scroll_Lock"},
      {{"--key", "F11", "--key", "F12"}, "F12"},
  };
  for (const auto& [arguments, key] : cases) {
    const CommandLine parsed = parse_command_line(arguments);
    ASSERT_EQ(parsed.action, CommandLine::Action::Run) << parsed.error;
    EXPECT_EQ(parsed.key, key);
  }
}

}  // namespace
}  // namespace marvok::talksrv
