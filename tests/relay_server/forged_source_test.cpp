// What a forged source address draws from the relay. Whoever owns 127.0.0.2
// stands for the victim: datagrams sent from its sockets reach the relay just
// as ones forged with its address would.
#include <gtest/gtest.h>

#include <thread>

#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

constexpr std::uint32_t kVictim = 0x7F000002;
constexpr auto kPresencePeriod = 20ms;

// Calls `each(elapsed)` once a presence period for `how_long`.
template <typename Each>
void every_presence_period(std::chrono::milliseconds how_long, Each each) {
  const auto start = std::chrono::steady_clock::now();
  for (int period = 0;; ++period) {
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (elapsed >= how_long) return;
    each(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed));
    std::this_thread::sleep_until(start + kPresencePeriod * (period + 1));
  }
}

int drain_voice(TestClient& client) {
  int count = 0;
  while (client.receive_voice(0ms)) ++count;
  return count;
}

int drain_control(TestClient& client) {
  int count = 0;
  while (client.receive_control(0ms)) ++count;
  return count;
}

TEST(RelayForgedSource, AFewPresencesDrawNoSpeech) {
  for (const int presences : {1, 2}) {
    RunningRelay relay;
    TestClient talker(1);
    TestClient listener(2);
    TestClient victim(3, "0.7.8", kVictim);
    talker.join(4);
    listener.join(4);
    for (int i = 0; i < presences; ++i) victim.send_presence(4);

    every_presence_period(300ms, [&](auto) { talker.speak(4, filled_block(7)); });
    std::this_thread::sleep_for(50ms);
    EXPECT_GT(drain_voice(listener), 0);
    EXPECT_EQ(drain_voice(victim), 0) << presences << " presence(s) drew speech";
  }
}

TEST(RelayForgedSource, AForgedStreamDrawsOnlyWhatAMemberSendingItWould) {
  RelayConfig config = test_config();
  config.client_timeout = RelayConfig{}.client_timeout;
  RunningRelay relay(config);
  TestClient talker(1);
  TestClient listener(2);
  TestClient victim(3, "0.7.8", kVictim);
  talker.join(4);
  listener.join(4);

  // The stream stops after 300 ms; the member it makes is forgotten about a
  // second later, as a real one would be, and speech stops with it.
  constexpr auto kStream = 300ms;
  constexpr auto kLastDue = kStream + 1s + 200ms;
  int spoken_while_member = 0;
  int victim_heard = 0;
  int listener_heard = 0;
  every_presence_period(2600ms, [&](std::chrono::milliseconds elapsed) {
    if (elapsed < kStream) victim.send_presence(4);
    talker.send_presence(4);
    listener.send_presence(4);
    talker.speak(4, filled_block(7));
    if (elapsed < kLastDue) ++spoken_while_member;
    victim_heard += drain_voice(victim);
    listener_heard += drain_voice(listener);
  });
  std::this_thread::sleep_for(50ms);
  victim_heard += drain_voice(victim);
  listener_heard += drain_voice(listener);
  EXPECT_GT(victim_heard, 0) << "a stream at the client's pace is a client";
  EXPECT_LE(victim_heard, spoken_while_member);
  EXPECT_LE(victim_heard, listener_heard);
}

TEST(RelayForgedSource, OneAddressGetsAtMostItsShareOfClients) {
  RelayConfig config = test_config();
  config.client_timeout = 300ms;
  config.max_clients_per_address = 2;
  std::FILE* log = std::tmpfile();
  config.log = log;
  RunningRelay relay(config);
  TestClient first(1);
  TestClient second(2);
  TestClient third(3);
  TestClient elsewhere(4, "0.7.8", kVictim);
  first.join(5);
  second.join(5);
  elsewhere.join(5);
  every_presence_period(200ms, [&](auto) {
    for (TestClient* client : {&first, &second, &third, &elsewhere}) client->send_presence(5);
  });

  const auto list = first.ask_members(5);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->count, 3);
  first.speak(5, filled_block(1));
  EXPECT_TRUE(second.receive_voice());
  EXPECT_TRUE(elsewhere.receive_voice());
  EXPECT_FALSE(third.receive_voice(200ms)) << "a client over its address's share heard speech";

  // Once the second falls silent and is forgotten, the third takes its place.
  every_presence_period(600ms, [&](auto) {
    for (TestClient* client : {&first, &third, &elsewhere}) client->send_presence(5);
  });
  EXPECT_TRUE(first.wait_until_listed(5, 3));
  relay.stop();
  EXPECT_EQ(relay.counters().refused_clients, 1u);
  std::string text;
  std::rewind(log);
  for (int c = std::fgetc(log); c != EOF; c = std::fgetc(log)) text += static_cast<char>(c);
  std::fclose(log);
  EXPECT_NE(text.find("member 3 not admitted"), std::string::npos) << text;
}

TEST(RelayForgedSource, ListsGoOnlyToMembersAddressesAtTheirPace) {
  RunningRelay relay;
  TestClient member(1);
  TestClient stranger(2, "0.7.8", kVictim);
  member.join(6);
  // A presence, too few to be admitted, earns no lists either.
  stranger.send_presence(6);
  for (int channel = 0; channel < relay::kChannelCount; ++channel) stranger.send_list_request(channel);
  EXPECT_FALSE(stranger.receive_control(200ms));

  // A client asks two lists every 1.4 s; a flood gets about twice that.
  constexpr auto kFlood = 1000ms;
  int answers = 0;
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < kFlood) {
    member.send_list_request(6);
    answers += drain_control(member);
    std::this_thread::sleep_for(5ms);
  }
  std::this_thread::sleep_for(100ms);
  answers += drain_control(member);
  // Twice a client's pace is three a second, after a burst of four.
  EXPECT_GE(answers, 2) << "fewer than a client asks";
  EXPECT_LE(answers, 4 + 3 + 1);
}

}  // namespace
}  // namespace marvok::relay_server::testing
