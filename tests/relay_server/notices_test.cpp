#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

RelayConfig config_with_minimum(std::string_view version) {
  RelayConfig config = test_config();
  config.min_version = parse_client_version(version);
  return config;
}

// Datagrams from different sockets may overtake each other on a busy machine,
// so a command that depends on one is repeated until its notice shows.
bool closes_eventually(RunningRelay& relay, TestClient& client) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    relay.command("close " + std::to_string(client.member()));
    if (notice_in(client.receive_control(200ms)) == relay::kNoticeSupervisorCloses) return true;
  }
  return false;
}

TEST(RelayNotices, TooOldVersionGetsNotice220OnceOnItsControlSocket) {
  RunningRelay relay(config_with_minimum("0.7.8"));
  TestClient old_client(50, "0.7.7");
  TestClient current(51, "0.7.8");
  TestClient newer(52, "0.8.0");
  old_client.join(3);
  current.join(3);
  newer.join(3);
  for (int i = 0; i < 3; ++i) old_client.send_presence(3, relay::PresenceVariant::Version);
  ASSERT_TRUE(old_client.ask_members(3));

  EXPECT_EQ(notice_in(old_client.receive_control()), relay::kNoticeVersionTooOld);
  EXPECT_FALSE(old_client.receive_control(200ms)) << "the notice came more than once";
  EXPECT_FALSE(old_client.receive_voice(1ms)) << "the notice went to the voice socket";
  EXPECT_FALSE(current.receive_control(1ms));
  EXPECT_FALSE(newer.receive_control(1ms));
}

TEST(RelayNotices, VersionNoticeWaitsUntilAnAliveRevealsTheControlSocket) {
  RunningRelay relay(config_with_minimum("0.7.8"));
  TestClient observer(61);
  TestClient old_client(60, "0.6.9");
  observer.join(4);
  // No hellos, as when the relay restarted under a running client.
  for (int i = 0; i < 3; ++i) old_client.send_presence(4, relay::PresenceVariant::Version);
  ASSERT_TRUE(observer.wait_until_listed(4, 60));
  EXPECT_FALSE(old_client.receive_control(100ms));

  old_client.send_alive(4);
  EXPECT_EQ(notice_in(old_client.receive_control()), relay::kNoticeVersionTooOld);
}

TEST(RelayNotices, CloseCommandReachesOnlyThatMembersControlSocket) {
  RunningRelay relay;
  TestClient target(42);
  TestClient bystander(43);
  target.join(0);
  bystander.join(0);

  relay.command("close 42");
  EXPECT_EQ(notice_in(target.receive_control()), relay::kNoticeSupervisorCloses);
  EXPECT_FALSE(bystander.receive_control(200ms));
  EXPECT_FALSE(target.receive_voice(1ms));

  relay.command("close all");
  EXPECT_EQ(notice_in(target.receive_control()), relay::kNoticeSupervisorCloses);
  EXPECT_EQ(notice_in(bystander.receive_control()), relay::kNoticeSupervisorCloses);

  relay.command("list");
  relay.stop();
  const std::string printed = relay.command_output();
  EXPECT_NE(printed.find("member 42 channel 0 version 0.7.8"), std::string::npos) << printed;
  EXPECT_NE(printed.find("member 43 channel 0"), std::string::npos) << printed;
}

TEST(RelayNotices, ControlHelloPairsWithTheLatestUnpairedVoiceHello) {
  RunningRelay relay;
  TestClient first(70);
  TestClient second(71);
  first.send_voice_hello();
  second.send_voice_hello();
  second.send_control_hello();
  first.send_control_hello();
  first.send_presences(2);
  second.send_presences(2);
  ASSERT_TRUE(first.wait_until_listed(2, 71));

  relay.command("close 70");
  EXPECT_EQ(notice_in(first.receive_control()), relay::kNoticeSupervisorCloses);
  EXPECT_FALSE(second.receive_control(200ms));
  relay.command("close 71");
  EXPECT_EQ(notice_in(second.receive_control()), relay::kNoticeSupervisorCloses);
  EXPECT_FALSE(first.receive_control(200ms));
}

TEST(RelayNotices, ControlSocketsAreLearnedFromAlivesAndListsOnlyWhenUnambiguous) {
  RunningRelay relay;
  TestClient observer(90);
  TestClient in_one(80);
  TestClient in_two(81);
  observer.join(0);
  // Neither says hello, so the relay knows only their voice sockets.
  in_one.send_presences(1);
  in_two.send_presences(2);
  ASSERT_TRUE(observer.wait_until_listed(1, 80));
  ASSERT_TRUE(observer.wait_until_listed(2, 81));

  // Two clients of this address lack a control socket: a list request,
  // which may go to any channel, proves nothing.
  ASSERT_TRUE(in_two.ask_members(1));
  ASSERT_TRUE(in_two.ask_members(2));
  relay.command("close 81");
  EXPECT_FALSE(in_two.receive_control(200ms));

  // An alive goes to the sender's own channel, where only one is waiting.
  in_two.send_alive(2);
  EXPECT_TRUE(closes_eventually(relay, in_two));

  // Now in_one is the only one left, and it asks about its own channel. An
  // event loop among several cannot tell it is the only one: its alive tells.
  ASSERT_TRUE(in_one.ask_members(1));
  if (test_config().threads > 1) in_one.send_alive(1);
  relay.command("close 80");
  EXPECT_EQ(notice_in(in_one.receive_control()), relay::kNoticeSupervisorCloses);
  EXPECT_FALSE(observer.receive_control(200ms));
}

TEST(RelayNotices, AControlSocketOnANewPortReplacesOnlyAStaleOne) {
  RelayConfig config = test_config();
  config.client_timeout = 300ms;
  RunningRelay relay(config);
  TestClient client(44);
  client.join(5);
  const auto keep_present = [&client](int times) {
    for (int i = 0; i < times; ++i) {
      client.send_presence(5);
      std::this_thread::sleep_for(50ms);
    }
  };

  // While the old control socket was heard recently, a stranger port proves nothing.
  client.reopen_control_socket();
  client.send_alive(5);
  relay.command("close 44");
  EXPECT_FALSE(client.receive_control(200ms));

  keep_present(8);
  client.send_alive(5);
  EXPECT_TRUE(closes_eventually(relay, client));
}

TEST(RelayNotices, ARestartedRelayReachesTwoClientsOfOneAddressInOneChannelAtOnce) {
  RelayConfig config = test_config();
  config.pairing_file = ::testing::TempDir() + "relay_pairings." + std::to_string(::getpid());
  TestClient first(70);
  TestClient second(71);
  {
    RunningRelay relay(config);
    first.join(4);
    second.join(4);
  }
  RunningRelay restarted(config);
  // No hellos this time: presence, and the alives and list requests of two
  // control sockets that nothing tells apart.
  first.send_presences(4);
  second.send_presences(4);
  first.send_alive(4);
  second.send_alive(4);
  ASSERT_TRUE(first.wait_until_listed(4, 71));
  ASSERT_TRUE(second.ask_members(4));

  restarted.command("close 70");
  EXPECT_EQ(notice_in(first.receive_control()), relay::kNoticeSupervisorCloses);
  EXPECT_FALSE(second.receive_control(200ms));
  restarted.command("close 71");
  EXPECT_EQ(notice_in(second.receive_control()), relay::kNoticeSupervisorCloses);
  EXPECT_FALSE(first.receive_control(200ms));
  std::remove(config.pairing_file.c_str());
}

}  // namespace
}  // namespace marvok::relay_server::testing
