// What members notice of the relay's care about forged source addresses:
// nothing, however their datagrams reach it.
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "delaying_proxy.h"
#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

constexpr auto kPresencePeriod = 20ms;

// Every member speaks once; all the others hear it.
TEST(RelayRealMembers, ManyBehindOneAddressHearEachOther) {
  RunningRelay relay;
  std::vector<std::unique_ptr<TestClient>> members;
  for (std::uint16_t number = 1; number <= 8; ++number) {
    members.push_back(std::make_unique<TestClient>(number));
    members.back()->join(1);
  }
  // Their joins asked often: the address's allowance of lists may need a moment.
  std::optional<relay::MemberList> list;
  for (int attempt = 0; attempt < 10 && !list; ++attempt) list = members.front()->ask_members(1, 300ms);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->count, 8);
  for (auto& speaker : members) {
    speaker->speak(1, filled_block(2));
    for (auto& listener : members) {
      if (listener == speaker) continue;
      const auto heard = listener->receive_voice();
      ASSERT_TRUE(heard) << listener->member() << " did not hear " << speaker->member();
      EXPECT_EQ(relay::read_incoming_voice(*heard)->speaker, speaker->member());
    }
  }
}

// A starting client asks for lists before its presence has made it a member.
TEST(RelayRealMembers, AListAskedAsTheClientStartsIsAnswered) {
  RunningRelay relay;
  TestClient starting(5, "0.7.8", 0x7F000003);
  starting.say_hello();
  starting.send_list_request(2);
  starting.send_list_request(7);
  std::this_thread::sleep_for(30ms);
  starting.send_presences(2);
  // Each list leaves from the event loop of its channel, in either order.
  std::map<int, relay::MemberList> lists;
  for (int i = 0; i < 2; ++i) {
    const auto answer = starting.receive_control();
    ASSERT_TRUE(answer && relay::read_member_list(*answer));
    lists.emplace(relay::read_member_list(*answer)->channel, *relay::read_member_list(*answer));
  }
  ASSERT_TRUE(lists.contains(2) && lists.contains(7));
  EXPECT_EQ(lists.at(2).count, 1);
}

// The listener's presence arrives with up to 100 ms of jitter, and so does its speech.
TEST(RelayRealMembers, AJitteryClientIsAdmittedAndHearsEverything) {
  RunningRelay relay;
  TestClient talker(1);
  talker.join(2);
  DelayingProxy network({kLoopback, static_cast<std::uint16_t>(relay::voice_port_of(2))}, 100ms);
  auto listener = platform::UdpSocket::open_bound({kLoopback, 0});
  ASSERT_TRUE(listener);
  relay::Buffer out{};
  const auto send_presence = [&] {
    listener->send_to(std::span(out.data(), relay::write_presence(out, relay::PresenceVariant::Name, 9, "0.7.8", "D")),
                      network.endpoint());
  };

  constexpr int kBlocks = 40;
  for (int period = 0; period < 10; ++period) {
    send_presence();
    std::this_thread::sleep_for(kPresencePeriod);
  }
  ASSERT_TRUE(talker.wait_until_listed(2, 9));
  for (int block = 0; block < kBlocks; ++block) {
    send_presence();
    talker.speak(2, filled_block(static_cast<std::uint8_t>(block)));
    std::this_thread::sleep_for(kPresencePeriod);
  }
  int heard = 0;
  while (receive_from(*listener, 300ms)) ++heard;
  EXPECT_EQ(heard, kBlocks);
}

// Wi-Fi drops of half a second are common: the member stays and keeps hearing.
TEST(RelayRealMembers, AClientSilentForHalfASecondKeepsHearing) {
  RelayConfig config = test_config();
  config.client_timeout = RelayConfig{}.client_timeout;
  RunningRelay relay(config);
  TestClient talker(1);
  TestClient listener(2);
  talker.join(3);
  listener.join(3);

  constexpr auto kPause = 500ms;
  constexpr int kBlocks = 50;
  const auto start = std::chrono::steady_clock::now();
  int heard = 0;
  for (int block = 0; block < kBlocks; ++block) {
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (elapsed < 200ms || elapsed > 200ms + kPause) listener.send_presence(3);
    talker.send_presence(3);
    talker.speak(3, filled_block(1));
    std::this_thread::sleep_for(kPresencePeriod);
    while (listener.receive_voice(0ms)) ++heard;
  }
  while (listener.receive_voice(200ms)) ++heard;
  EXPECT_EQ(heard, kBlocks);
}

}  // namespace
}  // namespace marvok::relay_server::testing
