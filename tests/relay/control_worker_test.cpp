#include "relay/control_worker.h"

#include <gtest/gtest.h>

#include "relay/channels.h"
#include "state/session_state.h"

namespace marvok::relay {
namespace {

class RecordedNotices final : public SupervisorNotices {
 public:
  void version_too_old() override { ++too_old; }
  void supervisor_closes() override { ++closes; }
  int too_old = 0;
  int closes = 0;
};

class ControlWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.channel.ChannelPort = 30000;
    state_.channel.ChannelMemberCount = 0;
  }

  ControlWorker::Reply receive_list(int channel, std::vector<std::uint16_t> members) {
    Buffer buffer{};
    const std::size_t size = write_member_list(buffer, channel, members);
    return worker_.handle_datagram(std::span(buffer.data(), size));
  }

  ControlWorker::Reply receive_notice(std::uint8_t code) {
    Buffer buffer{};
    return worker_.handle_datagram(std::span(buffer.data(), write_notice(buffer, code)));
  }

  SessionState state_;
  RelaySession session_;
  MemberTable members_;
  RecordedNotices notices_;
  ControlWorker worker_{session_, state_, members_, notices_};
};

TEST_F(ControlWorkerTest, MemberListFillsItsChannelsRow) {
  select_channel(state_.channel, 4);
  EXPECT_EQ(receive_list(4, {10, 20, 30}), ControlWorker::Reply::MemberList);
  EXPECT_EQ(members_.ChannelMemberCounts[4].load(), 3);
  EXPECT_EQ(members_.ChannelMembers[4][0].load(), 10);
  EXPECT_EQ(members_.ChannelMembers[4][2].load(), 30);
  EXPECT_EQ(state_.channel.ChannelMemberCount.load(), 3);
  EXPECT_EQ(state_.lights.SvcLed.load(), LedColor::Green);

  // A shorter list leaves the older entries where they were, beyond its count.
  receive_list(4, {40});
  EXPECT_EQ(members_.ChannelMemberCounts[4].load(), 1);
  EXPECT_EQ(members_.ChannelMembers[4][0].load(), 40);
  EXPECT_EQ(members_.ChannelMembers[4][1].load(), 20);
}

TEST_F(ControlWorkerTest, ListOfAnotherChannelLeavesTheCurrentCountAlone) {
  select_channel(state_.channel, 2);
  receive_list(2, {5, 6});
  select_channel(state_.channel, 7);  // unknown until channel 7 is listed
  receive_list(2, {5});
  EXPECT_EQ(state_.channel.ChannelMemberCount.load(), -1);
  EXPECT_EQ(members_.ChannelMemberCounts[2].load(), 1);
  receive_list(7, {});
  EXPECT_EQ(state_.channel.ChannelMemberCount.load(), 0);
}

TEST_F(ControlWorkerTest, ListsThatDoNotFitTheTableChangeNothing) {
  const std::uint8_t channel_12[] = {'L', 12, 1, 9, 0};
  EXPECT_EQ(worker_.handle_datagram(channel_12), ControlWorker::Reply::Nothing);
  std::vector<std::uint8_t> too_many = {'L', 3, 40};
  too_many.resize(3 + 80, 1);
  worker_.handle_datagram(too_many);
  EXPECT_EQ(members_.ChannelMemberCounts[3].load(), 0);
}

TEST_F(ControlWorkerTest, NegativeCountIsStoredWithoutMembers) {
  const std::uint8_t negative[] = {'L', 0, 0xFF};
  worker_.handle_datagram(negative);
  EXPECT_EQ(members_.ChannelMemberCounts[0].load(), -1);
  EXPECT_EQ(state_.channel.ChannelMemberCount.load(), -1);
}

TEST_F(ControlWorkerTest, NoticesAreObeyedAndOtherCodesIgnored) {
  EXPECT_EQ(receive_notice(221), ControlWorker::Reply::Notice);
  EXPECT_EQ(notices_.too_old + notices_.closes, 0);
  EXPECT_EQ(state_.lights.SvcLed.load(), LedColor::Yellow);
  receive_notice(220);
  EXPECT_EQ(notices_.too_old, 1);
  receive_notice(240);
  EXPECT_EQ(notices_.closes, 1);
}

TEST_F(ControlWorkerTest, OtherDatagramsAreIgnoredWithTheLightGreen) {
  const std::uint8_t other[] = {'Q', 1, 2, 3};
  EXPECT_EQ(worker_.handle_datagram(other), ControlWorker::Reply::Nothing);
  EXPECT_EQ(state_.lights.SvcLed.load(), LedColor::Green);
}

}  // namespace
}  // namespace marvok::relay
