#include <gtest/gtest.h>

#include <thread>

#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

std::vector<std::uint16_t> listed(const relay::MemberList& list) {
  return {list.members.begin(), list.members.begin() + std::max(list.count, 0)};
}

TEST(RelayMembership, HelloAndPresenceTieAClientToItsChannel) {
  RunningRelay relay;
  TestClient client(42);
  client.join(2);

  const auto own = client.ask_members(2);
  ASSERT_TRUE(own);
  EXPECT_EQ(own->channel, 2);
  EXPECT_EQ(listed(*own), std::vector<std::uint16_t>{42});
  const auto other = client.ask_members(3);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->channel, 3);
  EXPECT_EQ(other->count, 0);
}

TEST(RelayMembership, PresenceOnAnotherVoicePortMovesTheClient) {
  RunningRelay relay;
  TestClient mover(7);
  TestClient stayer(8);
  TestClient newcomer(9);
  mover.join(1);
  stayer.join(1);
  newcomer.join(4);

  mover.send_presence(4);
  ASSERT_TRUE(mover.wait_until_listed(1, 7, false));
  EXPECT_EQ(listed(*mover.ask_members(1)), std::vector<std::uint16_t>{8});
  // Joining later puts the mover after the members already there.
  EXPECT_EQ(listed(*mover.ask_members(4)), (std::vector<std::uint16_t>{9, 7}));

  newcomer.speak(4, filled_block(1));
  EXPECT_TRUE(mover.receive_voice());
  stayer.speak(1, filled_block(2));
  EXPECT_FALSE(mover.receive_voice(200ms));
}

// Past the sixteenth, members show only by hearing the channel's speech.
bool hears_eventually(TestClient& speaker, TestClient& listener, int channel) {
  for (int attempt = 0; attempt < 25; ++attempt) {
    speaker.speak(channel, filled_block(0));
    if (listener.receive_voice(200ms)) return true;
  }
  return false;
}

TEST(RelayMembership, ListsFollowJoinOrderAndStopAtSixteen) {
  RunningRelay relay;
  std::vector<std::unique_ptr<TestClient>> clients;
  for (std::uint16_t member = 100; member < 120; ++member) {
    clients.push_back(std::make_unique<TestClient>(member));
    if (member < 100 + relay::kMaxListedMembers) {
      clients.back()->join(6);
    } else {
      clients.back()->announce(6);
      ASSERT_TRUE(hears_eventually(*clients.front(), *clients.back(), 6)) << "member " << member << " never joined";
    }
  }

  const auto list = clients.front()->ask_members(6);
  ASSERT_TRUE(list);
  ASSERT_EQ(list->count, relay::kMaxListedMembers);
  for (int i = 0; i < relay::kMaxListedMembers; ++i) EXPECT_EQ(list->members[static_cast<std::size_t>(i)], 100 + i);
}

TEST(RelayMembership, ListRequestsAreAnsweredOnTheAskedChannelsControlPort) {
  RunningRelay relay;
  TestClient asker(1);
  TestClient member(2);
  asker.join(0);
  member.join(9);

  // The answer names the channel of the control port asked, not the asker's.
  const auto list = asker.ask_members(9);
  ASSERT_TRUE(list);
  EXPECT_EQ(list->channel, 9);
  EXPECT_EQ(listed(*list), std::vector<std::uint16_t>{2});
}

TEST(RelayMembership, SilentClientIsForgotten) {
  RelayConfig config = test_config();
  config.client_timeout = 300ms;
  RunningRelay relay(config);
  TestClient leaver(20);
  TestClient keeper(21);
  leaver.join(5);
  keeper.join(5);

  // Only the keeper goes on sending presence.
  for (int i = 0; i < 12; ++i) {
    keeper.send_presence(5);
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(listed(*keeper.ask_members(5)), std::vector<std::uint16_t>{21});
  keeper.speak(5, filled_block(3));
  EXPECT_FALSE(leaver.receive_voice(200ms));

  // Presence alone brings it back.
  leaver.send_presences(5);
  EXPECT_TRUE(keeper.wait_until_listed(5, 20));
}

}  // namespace
}  // namespace marvok::relay_server::testing
