#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace marvok::demo {

// Everything the demo member is told at start; the defaults are this build's
// web service and relay, the ones the client was built for.
struct DemoOptions {
  std::string machine_id;
  std::string relay_text;  // the relay's address as given, for the log line
  std::uint32_t relay_address = 0;
  std::string web_host;
  std::uint16_t web_port = 0;
  std::string ca_file;  // empty trusts the system's store
  double pause_seconds = 20.0;
  std::string sound_file;   // empty speaks the sentences
  std::string record_file;  // empty records nothing
  long count = 0;           // 0 speaks for ever
  int channel = 0;
};

struct CommandLine {
  enum class Action { Run, Help, Error };
  Action action = Action::Error;
  DemoOptions options;
  std::string error;  // set when action is Error
};

// The arguments after the program name. Options take their value either as
// the next argument or after '=' ("--count=3").
CommandLine parse_command_line(std::span<const std::string_view> arguments);

std::string usage_text();

}  // namespace marvok::demo
