#pragma once

#include <span>
#include <string>
#include <string_view>

#include "relay_config.h"

namespace marvok::relay_server {

struct CommandLine {
  enum class Action { Run, Help, Error };
  Action action = Action::Error;
  RelayConfig config;
  std::string error;  // set when action is Error
};

// The arguments after the program name. Options take their value either as
// the next argument or after '=' ("--address=127.0.0.1").
CommandLine parse_command_line(std::span<const std::string_view> arguments);

std::string usage_text();

}  // namespace marvok::relay_server
