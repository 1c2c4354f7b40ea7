#include "command_line.h"

#include "option_table.h"
#include "usage.h"

namespace marvok::talksrv {

namespace {

constexpr command_line::Option kOptions[] = {
    {"--key", "KEYSYM", "the push-to-talk key, an X keysym name such as Pause, F12 or Scroll_Lock (default Pause)"},
};

}  // namespace

CommandLine parse_command_line(std::span<const std::string_view> arguments) {
  CommandLine result;
  if (command_line::asks_for_help(arguments)) {
    result.action = CommandLine::Action::Help;
    return result;
  }
  const auto given = command_line::read_options(arguments, kOptions, command_line::Repeats::Allowed);
  if (!given.error.empty()) {
    result.error = given.error;
    return result;
  }
  // The key is checked once there is a display to look it up on.
  for (const auto& option : given.given) result.key = option.value;
  result.action = CommandLine::Action::Run;
  return result;
}

std::string usage_text() { return "usage: talksrv [--key KEYSYM]\n" + command_line::describe_options(kOptions); }

}  // namespace marvok::talksrv
