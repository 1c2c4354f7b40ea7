#include "command_line.h"

#include <charconv>
#include <optional>

#include "platform/udp_socket.h"

namespace marvok::relay_server {

namespace {

constexpr long kLongestClientTimeoutMs = 3'600'000;

std::optional<long> parse_number(std::string_view text, long lowest, long highest) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < lowest || value > highest)
    return std::nullopt;
  return value;
}

bool is_option(std::string_view name) {
  return name == "--address" || name == "--min-version" || name == "--opus-channel" || name == "--client-timeout-ms" ||
         name == "--pairing-file";
}

// Applies one known option; an error message when its value is wrong.
std::optional<std::string> apply_option(std::string_view name, std::string_view value, RelayConfig& config,
                                        bool& has_address) {
  if (name == "--address") {
    const auto address = platform::parse_ipv4(value);
    if (!address) return "--address needs an IPv4 address such as 127.0.0.1";
    config.address = *address;
    has_address = true;
  } else if (name == "--min-version") {
    config.min_version = parse_client_version(value);
    if (!config.min_version) return "--min-version needs a version of three digits such as 0.7.8";
  } else if (name == "--opus-channel") {
    const auto channel = parse_number(value, 0, relay::kChannelCount - 1);
    if (!channel) return "--opus-channel needs a channel number from 0 to 10";
    config.opus_channels.set(static_cast<std::size_t>(*channel));
  } else if (name == "--client-timeout-ms") {
    const auto timeout = parse_number(value, 1, kLongestClientTimeoutMs);
    if (!timeout) return "--client-timeout-ms needs a number of milliseconds from 1 to 3600000";
    config.client_timeout = std::chrono::milliseconds(*timeout);
  } else if (name == "--pairing-file") {
    if (value.empty()) return "--pairing-file needs a file name";
    config.pairing_file = value;
  }
  return std::nullopt;
}

CommandLine failure(std::string message) {
  CommandLine result;
  result.action = CommandLine::Action::Error;
  result.error = std::move(message);
  return result;
}

}  // namespace

CommandLine parse_command_line(std::span<const std::string_view> arguments) {
  CommandLine result;
  bool has_address = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view name = arguments[i];
    if (name == "--help" || name == "-h") {
      result.action = CommandLine::Action::Help;
      return result;
    }
    std::string_view value;
    if (const auto equals = name.find('='); equals != std::string_view::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    } else if (is_option(name) && i + 1 < arguments.size()) {
      value = arguments[++i];
    } else if (is_option(name)) {
      return failure(std::string(name) + " needs a value");
    }
    if (!is_option(name)) return failure("unknown option " + std::string(name));
    if (auto error = apply_option(name, value, result.config, has_address)) return failure(std::move(*error));
  }
  if (!has_address) return failure("--address is required");
  result.action = CommandLine::Action::Run;
  return result;
}

std::string_view usage_text() {
  return "Usage: marvok-relay --address IPV4 [--min-version X.Y.Z] [--opus-channel N]...\n"
         "                    [--client-timeout-ms MS] [--pairing-file PATH]\n"
         "\n"
         "Relays the voice network's speech, member lists and notices. Binds the\n"
         "voice ports 30000-30010 and the control ports 31000-31010 on IPV4.\n"
         "\n"
         "  --address IPV4           address to serve on, e.g. 127.0.0.1\n"
         "  --min-version X.Y.Z      send notice 220 to clients older than this\n"
         "  --opus-channel N         forward channel N (0-10) as Opus; repeatable\n"
         "  --client-timeout-ms MS   forget a client silent this long (default 3000)\n"
         "  --pairing-file PATH      keep the clients' control sockets here, so a\n"
         "                           restarted relay can still send them notices\n"
         "  --help                   print this text\n"
         "\n"
         "Operator commands on standard input, one per line:\n"
         "  close MEMBER   send notice 240 to that member's clients\n"
         "  close all      send notice 240 to every client\n"
         "  list           print the clients\n";
}

}  // namespace marvok::relay_server
