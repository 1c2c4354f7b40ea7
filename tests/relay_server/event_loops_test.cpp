// Clients whose channels are served by different event loops: what follows a
// member from loop to loop, and what every loop must agree on.
#include <gtest/gtest.h>

#include <thread>

#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

TEST(RelayEventLoops, AMemberTouringEveryLoopKeepsItsSpeechListsAndNotices) {
  RelayConfig config = test_config();
  // A loop per channel, so every move crosses loops.
  config.threads = relay::kChannelCount;
  config.min_version = parse_client_version("0.7.8");
  RunningRelay relay(config);
  TestClient guide(1);
  TestClient tourist(2, "0.7.5");
  guide.join(0);
  tourist.join(0);

  std::optional<std::uint8_t> last_sequence;
  for (const int channel : {0, 7, 2, 10, 4, 9, 1, 8, 3, 6, 5}) {
    // Presence keeps coming while they move, as from running clients.
    bool moved = false;
    for (int period = 0; period < 100 && !moved; ++period) {
      guide.send_presences(channel);
      tourist.send_presences(channel);
      moved = guide.wait_until_listed(channel, tourist.member(), true, 50ms);
    }
    ASSERT_TRUE(moved) << "channel " << channel;
    guide.speak(channel, filled_block(static_cast<std::uint8_t>(channel)));
    const auto heard = tourist.receive_voice();
    ASSERT_TRUE(heard) << "channel " << channel;
    // Its sequence goes on where the last loop left it.
    const std::uint8_t sequence = (*heard)[1];
    if (last_sequence) {
      EXPECT_EQ(sequence, static_cast<std::uint8_t>(*last_sequence + 1)) << "channel " << channel;
    }
    last_sequence = sequence;
  }
  // Its control socket came along: the version notice once, and the operator's.
  EXPECT_EQ(notice_in(tourist.receive_control()), relay::kNoticeVersionTooOld);
  relay.command("close 2");
  EXPECT_EQ(notice_in(tourist.receive_control()), relay::kNoticeSupervisorCloses);
  EXPECT_FALSE(tourist.receive_control(200ms));
  EXPECT_FALSE(guide.receive_control(0ms));
  relay.stop();
  EXPECT_EQ(relay.counters().lost_handoffs, 0u);
}

TEST(RelayEventLoops, TheCapPerAddressHoldsAcrossLoops) {
  RelayConfig config = test_config();
  config.threads = 3;
  config.max_clients_per_address = 2;
  config.client_timeout = std::chrono::milliseconds(300);
  RunningRelay relay(config);
  TestClient observer(9, "0.7.8", 0x7F000005);
  TestClient first(1);
  TestClient second(2);
  TestClient third(3);
  observer.join(3);
  // Channels 1, 2 and 3 belong to three different loops.
  first.join(1);
  second.join(2);
  const auto keep_present = [](std::initializer_list<std::pair<TestClient*, int>> clients, int periods) {
    for (int period = 0; period < periods; ++period) {
      for (const auto& [client, channel] : clients) client->send_presence(channel);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  };
  keep_present({{&first, 1}, {&second, 2}, {&third, 3}, {&observer, 3}}, 10);
  EXPECT_EQ(observer.ask_members(3)->count, 1) << "a third client of one address was admitted";

  // A member moving to another loop keeps its one place.
  keep_present({{&first, 3}, {&second, 2}, {&third, 3}, {&observer, 3}}, 10);
  EXPECT_EQ(observer.ask_members(3)->count, 2);

  // Once the second falls silent, the third takes its place.
  keep_present({{&first, 3}, {&third, 3}, {&observer, 3}}, 25);
  EXPECT_TRUE(observer.wait_until_listed(3, third.member()));
}

}  // namespace
}  // namespace marvok::relay_server::testing
