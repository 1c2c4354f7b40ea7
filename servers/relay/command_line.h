#pragma once

#include <span>
#include <string>
#include <string_view>

#include "relay_config.h"

namespace marvok::relay_server {

struct CommandLine {
  // SendCommand hands `operator_command` to the relay at config.control_socket.
  enum class Action { Run, Help, Error, SendCommand, PrintGatewayRules };
  Action action = Action::Error;
  RelayConfig config;
  std::string error;             // set when action is Error
  std::string operator_command;  // set when action is SendCommand
  std::string gateway_rules;     // set when action is PrintGatewayRules
};

// The arguments after the program name. Options take their value either as
// the next argument or after '=' ("--address=127.0.0.1"). A first argument
// "command" asks for the other form: command --control-socket PATH 'COMMAND';
// "gateway-rules --public-address IPV4 --host ADDRESS=LIST..." for the rules
// of a gateway in front of several relay hosts.
CommandLine parse_command_line(std::span<const std::string_view> arguments);

std::string usage_text();

}  // namespace marvok::relay_server
