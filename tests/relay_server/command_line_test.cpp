#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace marvok::relay_server {
namespace {

CommandLine parse(std::vector<std::string_view> arguments) { return parse_command_line(arguments); }

TEST(RelayCommandLine, ReadsEveryOptionInBothForms) {
  const CommandLine parsed =
      parse({"--address", "127.0.0.2", "--min-version=0.7.8", "--opus-channel", "3", "--opus-channel=10",
             "--client-timeout-ms", "1500", "--max-clients-per-address=200", "--pairing-file",
             "/var/lib/marvok-relay/pairings", "--control-socket", "/run/marvok-relay/control", "--shared-state",
             "postgresql://relay@10.0.0.9/marvok"});
  ASSERT_EQ(parsed.action, CommandLine::Action::Run) << parsed.error;
  EXPECT_EQ(parsed.config.address, 0x7F000002u);
  EXPECT_EQ(parsed.config.min_version, (ClientVersion{'0', '7', '8'}));
  EXPECT_EQ(parsed.config.opus_channels.to_ulong(), (1ul << 3) | (1ul << 10));
  EXPECT_EQ(parsed.config.client_timeout, std::chrono::milliseconds(1500));
  EXPECT_EQ(parsed.config.max_clients_per_address, 200u);
  EXPECT_EQ(parsed.config.pairing_file, "/var/lib/marvok-relay/pairings");
  EXPECT_EQ(parsed.config.control_socket, "/run/marvok-relay/control");
  EXPECT_EQ(parsed.config.shared_state, "postgresql://relay@10.0.0.9/marvok");
}

TEST(RelayCommandLine, RefusesWhatItCannotServe) {
  const std::vector<std::vector<std::string_view>> refused = {
      {},
      {"--address", "localhost"},
      {"--address", "127.0.0.1", "--opus-channel", "11"},
      {"--address", "127.0.0.1", "--opus-channel", "-1"},
      {"--address", "127.0.0.1", "--min-version", "0.7"},
      {"--address", "127.0.0.1", "--min-version", "0.10.1"},
      {"--address", "127.0.0.1", "--client-timeout-ms", "0"},
      {"--address", "127.0.0.1", "--client-timeout-ms", "12ms"},
      {"--address", "127.0.0.1", "--max-clients-per-address", "0"},
      {"--address", "127.0.0.1", "--max-clients-per-address", "65536"},
      {"--address", "127.0.0.1", "--verbose"},
      {"--address", "127.0.0.1", "--pairing-file="},
      {"--address", "127.0.0.1", "--control-socket="},
      {"--address", "127.0.0.1", "--shared-state", "/var/lib/relay.sqlite"},
      {"--address", "127.0.0.1", "--channels", ""},
      {"--address", "127.0.0.1", "--channels", "0-11"},
      {"--address", "127.0.0.1", "--channels", "5-3"},
      {"--address", "127.0.0.1", "--channels", "-1"},
      {"--address", "127.0.0.1", "--channels", "1,,2"},
      {"--address", "127.0.0.1", "--channels", "0-5,5"},
      {"--address", "127.0.0.1", "--channels", "1, 2"},
      {"--address", "127.0.0.1", "command", "list"},
      {"--address"},
      {"127.0.0.1"},
  };
  for (const auto& arguments : refused) {
    const CommandLine parsed = parse(arguments);
    EXPECT_EQ(parsed.action, CommandLine::Action::Error) << "accepted argument " << arguments.size();
    EXPECT_FALSE(parsed.error.empty());
  }
}

TEST(RelayCommandLine, ReadsTheChannelsToServe) {
  struct Case {
    const char* list;
    unsigned long channels;
  };
  const Case cases[] = {{"0-10", 0x7FF}, {"6-10", 0x7C0}, {"0,3,7-9", 0x389}, {"10", 0x400}, {"9,2-4", 0x21C}};
  for (const Case& test : cases) {
    const CommandLine parsed = parse({"--address", "127.0.0.1", "--channels", test.list});
    ASSERT_EQ(parsed.action, CommandLine::Action::Run) << test.list << ": " << parsed.error;
    EXPECT_EQ(parsed.config.channels.to_ulong(), test.channels) << test.list;
  }
  EXPECT_TRUE(parse({"--address", "127.0.0.1"}).config.channels.all());
  // Left to itself, it runs no loop that would have no channel.
  const CommandLine two = parse({"--address", "127.0.0.1", "--channels=3,9"});
  EXPECT_GE(two.config.threads, 1);
  EXPECT_LE(two.config.threads, 2);
}

TEST(RelayCommandLine, ReadsTheGatewayForm) {
  const CommandLine parsed =
      parse({"gateway-rules", "--host", "10.0.0.3=6-10", "--public-address=203.0.113.7", "--host=10.0.0.2=0-5"});
  ASSERT_EQ(parsed.action, CommandLine::Action::PrintGatewayRules) << parsed.error;
  EXPECT_NE(parsed.gateway_rules.find("ip daddr 203.0.113.7"), std::string::npos);
  const std::vector<std::vector<std::string_view>> refused = {
      {"gateway-rules", "--host", "10.0.0.2=0-10"},
      {"gateway-rules", "--public-address", "203.0.113.7"},
      {"gateway-rules", "--public-address", "203.0.113.7", "--public-address", "203.0.113.8", "--host",
       "10.0.0.2=0-10"},
      {"gateway-rules", "--public-address", "203.0.113.7", "--host", "10.0.0.2=0-9"},
  };
  for (const auto& arguments : refused) {
    const CommandLine parsed_wrong = parse(arguments);
    EXPECT_EQ(parsed_wrong.action, CommandLine::Action::Error) << "accepted argument " << arguments.size();
    EXPECT_FALSE(parsed_wrong.error.empty());
  }
}

TEST(RelayCommandLine, ReadsTheCommandForm) {
  const std::vector<std::vector<std::string_view>> accepted = {
      {"command", "--control-socket", "/run/c", "close all"},
      {"command", "--control-socket=/run/c", "close all"},
      {"command", "close all", "--control-socket", "/run/c"},
  };
  for (const auto& arguments : accepted) {
    const CommandLine parsed = parse(arguments);
    ASSERT_EQ(parsed.action, CommandLine::Action::SendCommand) << parsed.error;
    EXPECT_EQ(parsed.config.control_socket, "/run/c");
    EXPECT_EQ(parsed.operator_command, "close all");
  }
  const std::vector<std::vector<std::string_view>> refused = {
      {"command"},
      {"command", "list"},
      {"command", "--control-socket", "/run/c"},
      {"command", "--control-socket", "/run/c", "close", "all"},
      {"command", "--control-socket", "/run/c", " "},
      {"command", "--control-socket", "/run/c", "list\nclose all"},
      {"command", "--control-socket=", "list"},
      {"command", "--control-socket", "/run/c", "--control-socket", "/run/d", "list"},
      {"command", "--control-socket", "/run/c", "--address", "127.0.0.1", "list"},
      {"command", "list", "--control-socket"},
  };
  for (const auto& arguments : refused) {
    const CommandLine parsed = parse(arguments);
    EXPECT_EQ(parsed.action, CommandLine::Action::Error) << "accepted argument " << arguments.size();
    EXPECT_FALSE(parsed.error.empty());
  }
}

}  // namespace
}  // namespace marvok::relay_server
