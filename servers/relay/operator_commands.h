#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace marvok::relay_server {

struct OperatorCommand {
  enum class Kind { CloseMember, CloseAll, List };
  Kind kind = Kind::List;
  std::uint16_t member = 0;  // for CloseMember
};

// "close 42", "close all" or "list", with any spacing; nothing for anything else.
std::optional<OperatorCommand> parse_operator_command(std::string_view line);

// The answer to a line that is no command, ending in a newline, alike for
// standard input and the control socket; nothing for a command.
std::optional<std::string> refuse_operator_command(std::string_view line);

}  // namespace marvok::relay_server
