#pragma once

#include <span>
#include <string>
#include <string_view>

namespace marvok::talksrv {

struct CommandLine {
  enum class Action { Run, Help, Error };
  Action action = Action::Error;
  // An X keysym name; Pause is a key members never type by accident.
  std::string key = "Pause";
  std::string error;  // set when action is Error
};

// The arguments after the program name. Options take their value either as
// the next argument or after '=' ("--key=F12").
CommandLine parse_command_line(std::span<const std::string_view> arguments);

std::string usage_text();

}  // namespace marvok::talksrv
