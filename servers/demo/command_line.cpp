#include "command_line.h"

#include <optional>

#include "number_argument.h"
#include "option_table.h"
#include "platform/udp_socket.h"
#include "relay/datagrams.h"
#include "usage.h"

namespace marvok::demo {

namespace {

// Outside a PC's range (a volume serial is at most ten digits), so the demo
// never takes a real member's account.
constexpr std::string_view kDefaultMachineId = "7000000000000007";
constexpr std::size_t kLongestMachineId = 19;
constexpr double kLongestPauseSeconds = 86'400.0;
constexpr long kMostUtterances = 1'000'000;

constexpr command_line::Option kOptions[] = {
    {"--machine", "DIGITS", "machine identifier it signs in with (default 7000000000000007)"},
    {"--relay", "IPV4", "the relay server (default: the client's)"},
    {"--web-host", "HOST", "the web service (default: the client's)"},
    {"--web-port", "PORT", "its HTTPS port (default: the client's)"},
    {"--ca-file", "PEM", "authorities that sign its certificate (default: the client's)"},
    {"--pause", "SECONDS", "silence between two utterances (default 20)"},
    {"--sound", "FILE.wav", "speak this 8 kHz 16-bit mono or stereo sound instead of sentences"},
    {"--record", "FILE.wav", "record the speech heard on the channel (8 kHz 16-bit stereo)"},
    {"--count", "N", "stop after N utterances (default 0: never)"},
    {"--channel", "N", "the channel it is present and speaks in, 0 to 10 (default 0)"},
};

// Applies one option; an error message when its value is wrong.
std::optional<std::string> apply_option(std::string_view name, std::string_view value, DemoOptions& options) {
  if (name == "--machine") {
    if (!command_line::all_digits(value) || value.size() > kLongestMachineId) return "--machine needs 1 to 19 digits";
    options.machine_id = value;
  } else if (name == "--relay") {
    const auto address = platform::parse_ipv4(value);
    if (!address) return "--relay needs an IPv4 address such as 127.0.0.1";
    options.relay_address = *address;
    options.relay_text = value;
  } else if (name == "--web-host") {
    if (value.empty()) return "--web-host needs a host name";
    options.web_host = value;
  } else if (name == "--web-port") {
    const auto port = command_line::parse_number<int>(value, 1, 65535);
    if (!port) return "--web-port needs a port from 1 to 65535";
    options.web_port = static_cast<std::uint16_t>(*port);
  } else if (name == "--ca-file") {
    options.ca_file = value;
  } else if (name == "--pause") {
    const auto seconds = command_line::parse_number<double>(value, 0.0, kLongestPauseSeconds);
    if (!seconds) return "--pause needs a number of seconds from 0 to 86400";
    options.pause_seconds = *seconds;
  } else if (name == "--sound" || name == "--record") {
    if (value.empty()) return std::string(name) + " needs a file name";
    (name == "--sound" ? options.sound_file : options.record_file) = value;
  } else if (name == "--count") {
    const auto count = command_line::parse_number<long>(value, 0, kMostUtterances);
    if (!count) return "--count needs a number from 0 (for ever) to 1000000";
    options.count = *count;
  } else if (name == "--channel") {
    const auto channel = command_line::parse_number<int>(value, 0, relay::kChannelCount - 1);
    if (!channel) return "--channel needs a channel number from 0 to 10";
    options.channel = *channel;
  }
  return std::nullopt;
}

CommandLine failure(std::string message) {
  CommandLine result;
  result.error = std::move(message);
  return result;
}

DemoOptions build_defaults() {
  DemoOptions options;
  options.machine_id = kDefaultMachineId;
  options.relay_text = MARVOK_DEFAULT_RELAY_ADDRESS;
  options.relay_address = platform::parse_ipv4(options.relay_text).value_or(0);
  options.web_host = MARVOK_DEFAULT_WEB_HOST;
  options.web_port = MARVOK_DEFAULT_WEB_PORT;
  options.ca_file = MARVOK_DEFAULT_WEB_CA_FILE;
  return options;
}

}  // namespace

CommandLine parse_command_line(std::span<const std::string_view> arguments) {
  CommandLine result;
  result.options = build_defaults();
  if (command_line::asks_for_help(arguments)) {
    result.action = CommandLine::Action::Help;
    return result;
  }
  // Given again, an option's last value counts.
  const auto given = command_line::read_options(arguments, kOptions, command_line::Repeats::Allowed);
  if (!given.error.empty()) return failure(given.error);
  for (const auto& [name, value] : given.given)
    if (auto error = apply_option(name, value, result.options)) return failure(std::move(*error));
  result.action = CommandLine::Action::Run;
  return result;
}

std::string usage_text() {
  return "Usage: marvok-demo [--machine DIGITS] [--relay IPV4] [--web-host HOST] [--web-port PORT]\n"
         "                   [--ca-file PEM] [--pause SECONDS] [--sound FILE.wav] [--record FILE.wav]\n"
         "                   [--count N] [--channel N]\n"
         "\n"
         "A demonstration member of the voice network: signs in at the web service,\n"
         "stays present in a channel of the relay (0 unless --channel) and speaks\n"
         "there now and then.\n"
         "\n" +
         command_line::describe_options(kOptions);
}

}  // namespace marvok::demo
