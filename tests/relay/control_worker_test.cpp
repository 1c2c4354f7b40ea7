#include "relay/control_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/worker_threads.h"
#include "relay/channels.h"
#include "state/session_state.h"

namespace marvok::relay {
namespace {

class RecordedNotices final : public SupervisorNotices {
 public:
  void version_too_old() override { ++too_old; }
  void supervisor_closes() override { ++closes; }
  std::atomic<int> too_old = 0;
  std::atomic<int> closes = 0;
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
  ControlWorker worker_{session_, state_.channel, state_.lights.SvcLed, members_, notices_};
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

// 10,000 junk datagrams from the relay's address in 2.5 s, more than the
// socket's queue holds between two turns: the list in their midst and the
// closing notice after them must still be obeyed.
TEST_F(ControlWorkerTest, AFloodFromTheRelayHidesNeitherAListNorTheNoticeAfterIt) {
  using namespace std::chrono_literals;
  constexpr std::uint32_t kLoopback = 0x7F000001;
  session_.relay_address = kLoopback;
  session_.ControlSocket = *platform::UdpSocket::open_ephemeral();
  const platform::Endpoint client{kLoopback, session_.ControlSocket.local_endpoint()->port};
  auto relay = platform::UdpSocket::open_bound({kLoopback, 0});
  ASSERT_TRUE(relay);
  WorkerThreads workers;
  workers.start([this](std::stop_token stop) { run_control_worker(stop, session_, worker_); });

  const std::vector<std::uint8_t> junk(300, 'Z');
  Buffer buffer{};
  const std::vector<std::uint16_t> listed = {7, 8, 9};
  for (int sent = 0; sent < 10'000; ++sent) {
    if (sent == 5'000) relay->send_to(std::span(buffer.data(), write_member_list(buffer, 2, listed)), client);
    relay->send_to(junk, client);
    if (sent % 40 == 39) std::this_thread::sleep_for(10ms);
  }
  relay->send_to(std::span(buffer.data(), write_notice(buffer, kNoticeSupervisorCloses)), client);

  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (notices_.closes == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
  workers.stop_all();
  EXPECT_EQ(notices_.closes, 1);
  EXPECT_EQ(members_.ChannelMemberCounts[2].load(), 3);
}

}  // namespace
}  // namespace marvok::relay
