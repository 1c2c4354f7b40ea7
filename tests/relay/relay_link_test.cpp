// Two clients' relay threads against a real marvok-relay listening on
// 127.0.0.1, started beside the test in a network namespace of its own: the
// same sockets, waits and reads the client uses, on whatever system runs it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "audio/playback_queue.h"
#include "platform/worker_threads.h"
#include "relay/channels.h"
#include "relay/control_worker.h"
#include "relay/relay_session.h"
#include "relay/voice_receiver.h"
#include "relay/voice_sender.h"
#include "state/session_state.h"
#include "support/counted_speech_activity.h"

namespace marvok::relay {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kLoopback = 0x7F000001;

template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds within = 5s) {
  const auto until = std::chrono::steady_clock::now() + within;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

struct NoNotices final : SupervisorNotices {
  void version_too_old() override {}
  void supervisor_closes() override {}
};

// One client's relay side: its session and the three threads that use it.
class Member {
 public:
  explicit Member(std::uint16_t id) {
    state_.channel.ChannelPort = kFirstVoicePort;
    state_.identity.set_member_id(id);
    std::snprintf(state_.identity.MachineId.data(), state_.identity.MachineId.size(), "%016u", id);
    state_.lights.reset();
    set_up = relay_setup(session_, kLoopback, state_.lights) == 0;
    if (!set_up) return;
    workers_.start(
        [this](std::stop_token stop) { run_presence_worker(stop, session_, state_.identity, state_.channel); });
    workers_.start([this](std::stop_token stop) { run_voice_receiver(stop, session_, receiver_); });
    workers_.start([this](std::stop_token stop) { run_control_worker(stop, session_, control_); });
  }
  ~Member() { workers_.stop_all(); }

  bool lists(int channel, std::uint16_t member) const {
    const auto& row = members_.ChannelMembers[static_cast<std::size_t>(channel)];
    const int count = members_.ChannelMemberCounts[static_cast<std::size_t>(channel)].load();
    for (int i = 0; i < count && i < static_cast<int>(row.size()); ++i)
      if (row[static_cast<std::size_t>(i)].load() == member) return true;
    return false;
  }

  void say(std::int16_t sample) {
    std::array<std::uint8_t, kVoiceBlockSize> block{};
    for (std::size_t i = 0; i < block.size(); i += 2) {
      block[i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) & 0xFF);
      block[i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8);
    }
    sender_.send_voice_block(block);
  }

  bool set_up = false;
  SessionState state_;
  VoiceBlockQueue queue_;

 private:
  RelaySession session_;
  LevelMeterState meters_;
  testing::CountedSpeechActivity activity_;
  UnseenSpeech unseen_;
  VoiceReceiver receiver_{state_, queue_, [](std::span<const std::uint8_t>) { return 0; }, unseen_};
  MemberTable members_;
  NoNotices notices_;
  ControlWorker control_{session_, state_.channel, state_.lights.SvcLed, members_, notices_};
  VoiceSender sender_{session_, state_.identity, state_.channel, meters_, activity_};
  WorkerThreads workers_;
};

TEST(RelayLinkTest, MembersAreListedHearEachOtherAndMoveApart) {
  auto first = std::make_unique<Member>(0x0101);
  auto second = std::make_unique<Member>(0x0202);
  ASSERT_TRUE(first->set_up && second->set_up);
  ASSERT_TRUE(eventually([&] { return first->lists(0, 0x0202) && second->lists(0, 0x0101); }));
  EXPECT_TRUE(eventually([&] { return first->state_.channel.ChannelMemberCount.load() == 2; }));
  EXPECT_TRUE(eventually([&] { return first->state_.lights.SvcLed.load() == LedColor::Green; }));

  for (int block = 0; block < 4; ++block) first->say(1234);
  ASSERT_TRUE(eventually([&] { return second->state_.channel.SpeakerId.load() == 0x0101; }));
  EXPECT_TRUE(eventually([&] { return second->queue_.write_index() >= 8; }));
  const auto queued = second->queue_.snapshot();
  EXPECT_EQ(static_cast<std::int16_t>(queued[5 * kVoiceBlockBytes] | queued[5 * kVoiceBlockBytes + 1] << 8), 1234);
  EXPECT_EQ(first->state_.channel.SpeakerId.load(), 0);  // the relay does not echo a member's own speech

  select_channel(second->state_.channel, 4);
  ASSERT_TRUE(eventually([&] { return second->lists(4, 0x0202) && !first->lists(0, 0x0202); }));
  EXPECT_TRUE(eventually([&] { return first->state_.channel.ChannelMemberCount.load() == 1; }));
  second->state_.channel.SpeakerId = 0;
  first->say(99);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(second->state_.channel.SpeakerId.load(), 0);
}

}  // namespace
}  // namespace marvok::relay
