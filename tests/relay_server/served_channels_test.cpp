// A relay serving some of the channels, as one of several hosts behind a
// gateway: the other channels' ports stay free for nobody, and its own
// channels work as on a relay of all eleven, though no hello reaches it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "pairing_memory.h"
#include "relay.h"
#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

RelayConfig config_serving(std::string_view channels) {
  RelayConfig config = test_config();
  config.channels = parse_channel_list(channels).value();
  return config;
}

class NoOutput : public RelayOutput {
 public:
  bool send_from(RelayPort, int, std::span<const std::uint8_t>, const platform::Endpoint&) const override {
    return true;
  }
};

std::string contents(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, file) != nullptr) text += chunk;
  return text;
}

// The notice may be asked for before the relay has read what ties the
// client's control socket, so the command is repeated until it shows.
bool closes_eventually(RunningRelay& relay, TestClient& client) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    relay.command("close all");
    if (notice_in(client.receive_control(200ms)) == relay::kNoticeSupervisorCloses) return true;
  }
  return false;
}

TEST(RelayServedChannels, BindsOnlyThePortsOfItsChannels) {
  RunningRelay relay(config_serving("6-10"));
  for (int channel = 0; channel < relay::kChannelCount; ++channel) {
    for (const int port : {relay::voice_port_of(channel), relay::control_port_of(channel)}) {
      const auto socket = platform::UdpSocket::open_bound({kLoopback, static_cast<std::uint16_t>(port)});
      EXPECT_EQ(socket.has_value(), channel < 6) << "port " << port;
    }
  }
}

TEST(RelayServedChannels, ServesItsChannelsLikeARelayOfAll) {
  RunningRelay relay(config_serving("6-10"));
  TestClient speaker(1, "0.7.8", 0x7F000002);
  TestClient listener(2);
  // Of the listener's address, in a channel of another host: it asks here
  // for lists too, and must not take the listener's place for notices.
  TestClient elsewhere(3);
  // Their hellos go to port 30000, another host's.
  speaker.join(8);
  bool listed = false;
  for (int attempt = 0; attempt < 50 && !listed; ++attempt) {
    listener.send_presences(8);
    listed = elsewhere.wait_until_listed(8, listener.member(), true, 100ms);
  }
  ASSERT_TRUE(listed);
  EXPECT_EQ(elsewhere.ask_members(8)->count, 2);

  speaker.speak(8, filled_block(7));
  const auto heard = listener.receive_voice();
  ASSERT_TRUE(heard);
  EXPECT_EQ(relay::read_incoming_voice(*heard)->speaker, speaker.member());

  // The alive to its channel's control port ties the control socket.
  listener.send_alive(8);
  EXPECT_TRUE(closes_eventually(relay, listener));
  EXPECT_FALSE(elsewhere.receive_control(0ms));
  relay.command("list");
  relay.stop();
  EXPECT_NE(relay.command_output().find("2 client(s); this relay serves channels 6-10\n"), std::string::npos)
      << relay.command_output();
}

// After a restart the pairing file ties a returning client's control socket
// before it is in a channel: the notice must leave from a port this relay has.
TEST(RelayServedChannels, ReachesAClientNotYetInAChannel) {
  TestClient client(3);
  RelayConfig config = config_serving("9");
  config.pairing_file = ::testing::TempDir() + "served-pairings." + std::to_string(::getpid());
  const Pairing pairing{client.voice_endpoint(), client.control_endpoint()};
  ASSERT_TRUE(PairingMemory::save(config.pairing_file, std::span(&pairing, 1)));
  RunningRelay relay(config);
  // One presence is not enough to be admitted.
  client.send_presence(9);
  EXPECT_TRUE(closes_eventually(relay, client));
  relay.stop();
  std::remove(config.pairing_file.c_str());
}

TEST(RelayServedChannels, RunsNoMoreLoopsThanChannelsAndSaysWhichItServes) {
  std::FILE* log = std::tmpfile();
  RelayConfig config = config_serving("3,9");
  config.threads = relay::kChannelCount;
  config.log = log;
  RunningRelay relay(config);
  // Lists for channel 9 are answered by the second loop.
  TestClient client(4);
  client.join(3);
  EXPECT_TRUE(client.ask_members(9));
  relay.stop();
  const std::string written = contents(log);
  EXPECT_NE(written.find("serving channels 3,9 only, on 127.0.0.1: voice ports 30003,30009, control ports 31003,31009"),
            std::string::npos)
      << written;
  EXPECT_NE(written.find("event loop 1 serves channels 9\n"), std::string::npos) << written;
  EXPECT_EQ(written.find("event loop 2"), std::string::npos) << written;
  std::fclose(log);
}

TEST(RelayServedChannels, SumsUpOnlyItsChannels) {
  std::FILE* log_file = std::tmpfile();
  const RelayConfig config = config_serving("6-10");
  RelayLog log(log_file);
  const NoOutput output;
  const auto start = Clock::now();
  Relay relay(config, output, log, start, ShardPlace{.channels = config.channels});
  relay.on_tick(start + 11s);
  EXPECT_NE(contents(log_file).find("summary of channels 6, 7, 8, 9, 10: 0 clients"), std::string::npos)
      << contents(log_file);
  std::fclose(log_file);
}

}  // namespace
}  // namespace marvok::relay_server::testing
