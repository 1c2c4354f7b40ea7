#include "command_line.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "database.h"
#include "gateway_rules.h"
#include "number_argument.h"
#include "option_table.h"
#include "platform/udp_socket.h"
#include "usage.h"

namespace marvok::relay_server {

namespace {

constexpr long kLongestClientTimeoutMs = 3'600'000;
constexpr long kMostClientsPerAddress = 65'535;

constexpr command_line::Option kOptions[] = {
    {"--address", "IPV4", "address to serve on, e.g. 127.0.0.1"},
    {"--min-version", "X.Y.Z", "send notice 220 to clients older than this"},
    {"--opus-channel", "N", "forward channel N (0-10) as Opus; repeatable"},
    {"--client-timeout-ms", "MS", "forget a client silent this long (default 1000)"},
    {"--max-clients-per-address", "N", "admit at most N clients behind one IP address\n(default 32)"},
    {"--channels", "LIST", "serve only these channels, e.g. 0-5 or 0,3,7-9\n(default: all 11)"},
    {"--threads", "N",
     "serve the channels on N event loops, one thread\neach (1-11, at most one per channel served;\n"
     "default: one per processor)"},
    {"--pairing-file", "PATH",
     "keep the clients' control sockets here, so a\nrestarted relay can still send them notices"},
    {"--control-socket", "PATH", "take operator commands on a Unix socket made\nhere, which only this user may use"},
    {"--shared-state", "URL",
     "share admissions and pairings with the other\nhosts of the network in this PostgreSQL\n"
     "database (postgresql://USER@HOST/NAME)"},
};

constexpr command_line::Option kCommandOptions[] = {
    {"--control-socket", "PATH", "the relay's control socket"},
};

constexpr command_line::Option kGatewayOptions[] = {
    {"--public-address", "IPV4", ""},
    {"--host", "ADDRESS=LIST", ""},
};

// Applies one option; an error message when its value is wrong.
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
    const auto channel = command_line::parse_number<long>(value, 0, relay::kChannelCount - 1);
    if (!channel) return "--opus-channel needs a channel number from 0 to 10";
    config.opus_channels.set(static_cast<std::size_t>(*channel));
  } else if (name == "--client-timeout-ms") {
    const auto timeout = command_line::parse_number<long>(value, 1, kLongestClientTimeoutMs);
    if (!timeout) return "--client-timeout-ms needs a number of milliseconds from 1 to 3600000";
    config.client_timeout = std::chrono::milliseconds(*timeout);
  } else if (name == "--max-clients-per-address") {
    const auto most = command_line::parse_number<long>(value, 1, kMostClientsPerAddress);
    if (!most) return "--max-clients-per-address needs a number from 1 to 65535";
    config.max_clients_per_address = static_cast<std::size_t>(*most);
  } else if (name == "--channels") {
    const auto channels = parse_channel_list(value);
    if (!channels) return "--channels needs channels from 0 to 10, each once, such as 0-5 or 0,3,7-9";
    config.channels = *channels;
  } else if (name == "--threads") {
    const auto threads = command_line::parse_number<long>(value, 1, relay::kChannelCount);
    if (!threads) return "--threads needs a number from 1 to 11";
    config.threads = static_cast<int>(*threads);
  } else if (name == "--pairing-file") {
    if (value.empty()) return "--pairing-file needs a file name";
    config.pairing_file = value;
  } else if (name == "--control-socket") {
    if (value.empty()) return "--control-socket needs a path";
    config.control_socket = value;
  } else if (name == "--shared-state") {
    if (!database::names_postgresql(value)) return "--shared-state needs a PostgreSQL URL, postgresql://...";
    config.shared_state = value;
  }
  return std::nullopt;
}

CommandLine failure(std::string message) {
  CommandLine result;
  result.action = CommandLine::Action::Error;
  result.error = std::move(message);
  return result;
}

// command --control-socket PATH 'COMMAND', the options and the command in any order.
CommandLine parse_command_form(std::span<const std::string_view> arguments) {
  std::vector<std::string_view> options;
  std::vector<std::string_view> commands;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (!arguments[i].starts_with("--")) {
      commands.push_back(arguments[i]);
      continue;
    }
    options.push_back(arguments[i]);
    if (arguments[i] == "--control-socket" && i + 1 < arguments.size()) options.push_back(arguments[++i]);
  }
  const auto given = command_line::read_options(options, kCommandOptions, command_line::Repeats::Refused);
  if (!given.error.empty()) return failure(given.error);
  CommandLine result;
  for (const auto& [name, value] : given.given) {
    if (value.empty()) return failure("--control-socket needs a path");
    result.config.control_socket = value;
  }
  if (result.config.control_socket.empty()) return failure("command needs --control-socket PATH");
  if (commands.size() != 1) return failure("command takes one command, quoted when it has spaces: 'close all'");
  const std::string_view command = commands.front();
  if (command.find_first_not_of(" \t\r") == std::string_view::npos)
    return failure("command needs a command such as 'list'");
  if (command.find('\n') != std::string_view::npos) return failure("command takes one command, on one line");
  result.operator_command = command;
  result.action = CommandLine::Action::SendCommand;
  return result;
}

// gateway-rules --public-address IPV4 --host ADDRESS=LIST...
CommandLine parse_gateway_form(std::span<const std::string_view> arguments) {
  const auto given = command_line::read_options(arguments, kGatewayOptions, command_line::Repeats::Allowed);
  if (!given.error.empty()) return failure(given.error);
  std::optional<std::string_view> public_address;
  std::vector<std::string_view> hosts;
  for (const auto& [name, value] : given.given) {
    if (name == "--host") {
      hosts.push_back(value);
    } else if (public_address) {
      return failure("--public-address is given twice");
    } else {
      public_address = value;
    }
  }
  if (!public_address) return failure("gateway-rules needs --public-address IPV4");
  if (hosts.empty()) return failure("gateway-rules needs a --host ADDRESS=LIST for each relay host");
  GatewayRules rules = gateway_rules(*public_address, hosts);
  if (!rules.error.empty()) return failure(std::move(rules.error));
  CommandLine result;
  result.action = CommandLine::Action::PrintGatewayRules;
  result.gateway_rules = std::move(rules.ruleset);
  return result;
}

}  // namespace

CommandLine parse_command_line(std::span<const std::string_view> arguments) {
  CommandLine result;
  if (command_line::asks_for_help(arguments)) {
    result.action = CommandLine::Action::Help;
    return result;
  }
  if (!arguments.empty() && arguments.front() == "command") return parse_command_form(arguments.subspan(1));
  if (!arguments.empty() && arguments.front() == "gateway-rules") return parse_gateway_form(arguments.subspan(1));
  // Given again, an option's last value counts; --opus-channel adds a channel each time.
  const auto options = command_line::read_options(arguments, kOptions, command_line::Repeats::Allowed);
  if (!options.error.empty()) return failure(options.error);
  bool has_address = false;
  bool has_threads = false;
  for (const auto& [name, value] : options.given) {
    if (auto error = apply_option(name, value, result.config, has_address)) return failure(std::move(*error));
    has_threads = has_threads || name == "--threads";
  }
  if (!has_address) return failure("--address is required");
  // A loop per channel at most: more would have nothing to serve.
  if (!has_threads) {
    result.config.threads = static_cast<int>(
        std::clamp(std::thread::hardware_concurrency(), 1U, static_cast<unsigned>(result.config.channels.count())));
  }
  result.action = CommandLine::Action::Run;
  return result;
}

std::string usage_text() {
  return "Usage: marvok-relay --address IPV4 [--min-version X.Y.Z] [--opus-channel N]...\n"
         "                    [--client-timeout-ms MS] [--max-clients-per-address N]\n"
         "                    [--channels LIST] [--threads N] [--pairing-file PATH]\n"
         "                    [--control-socket PATH]\n"
         "       marvok-relay command --control-socket PATH 'COMMAND'\n"
         "       marvok-relay gateway-rules --public-address IPV4 --host ADDRESS=LIST...\n"
         "\n"
         "Relays the voice network's speech, member lists and notices. Binds the\n"
         "voice port 30000+n and the control port 31000+n of each channel n it\n"
         "serves (0-10) on IPV4.\n"
         "\n" +
         command_line::describe_options(kOptions) +
         "\n"
         "Operator commands on standard input, one per line:\n"
         "  close MEMBER   send notice 240 to that member's clients\n"
         "  close all      send notice 240 to every client\n"
         "  list           print the clients\n"
         "The same commands come through the control socket, one a call, the\n"
         "answer on standard output:\n"
         "  marvok-relay command --control-socket PATH 'close all'\n"
         "\n"
         "Relay hosts, each started with its own --channels, can share one public\n"
         "address behind a gateway. gateway-rules prints the gateway's nftables\n"
         "rules, to load there with nft -f FILE:\n"
         "  --public-address IPV4   the address clients reach\n"
         "  --host ADDRESS=LIST     a relay host and its channels, e.g. 10.0.0.2=0-5;\n"
         "                          one per host, every channel on exactly one\n";
}

}  // namespace marvok::relay_server
