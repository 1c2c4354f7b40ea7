// The client's relay threads against the real marvok-relay, with a scripted
// second member, on a private loopback network: both members are listed,
// each hears the other, the member moves channel, and the supervisor's
// notice reaches the client. Then the relay goes missing, answers late or
// sends junk: the client's threads carry on and recover by themselves.
#include <gtest/gtest.h>

#include <QProcess>
#include <chrono>
#include <random>
#include <thread>

#include "audio/opus_playback.h"
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
using platform::Endpoint;
using platform::UdpSocket;

constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::uint16_t kClientMember = 0x0101;
constexpr std::uint16_t kPeerMember = 0x0B0B;

template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds within = 5s) {
  const auto until = std::chrono::steady_clock::now() + within;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::array<std::uint8_t, kVoiceBlockSize> block_of(std::int16_t sample) {
  std::array<std::uint8_t, kVoiceBlockSize> block{};
  for (std::size_t i = 0; i < block.size(); i += 2) {
    block[i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) & 0xFF);
    block[i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8);
  }
  return block;
}

// A second member, scripted: its own sockets, presence in its channel, and
// what the relay sends it.
class PeerMember {
 public:
  PeerMember() : voice_(*UdpSocket::open_bound({kLoopback, 0})), control_(*UdpSocket::open_bound({kLoopback, 0})) {
    Buffer buffer{};
    voice_.send_to(std::span(buffer.data(), write_voice_hello(buffer)), relay_at(kFirstVoicePort));
    control_.send_to(std::span(buffer.data(), write_control_hello(buffer)), relay_at(kFirstVoicePort));
    presence_ = std::jthread([this](std::stop_token stop) {
      Buffer presence{};
      int variant = 0;
      constexpr PresenceVariant kVariants[] = {PresenceVariant::Name, PresenceVariant::Device,
                                               PresenceVariant::Version};
      do {
        const std::size_t size =
            write_presence(presence, kVariants[variant++ % 3], kPeerMember, "0.7.8", "0000000000000042");
        voice_.send_to(std::span(presence.data(), size), relay_at(kFirstVoicePort));
      } while (sleep_unless_stopped(stop, 20ms));
    });
  }

  void say(std::uint8_t sequence, std::int16_t sample) {
    Buffer buffer{};
    voice_.send_to(std::span(buffer.data(), write_outgoing_voice(buffer, sequence, kPeerMember, block_of(sample))),
                   relay_at(kFirstVoicePort));
  }

  // The next speech datagram the relay forwards to this member.
  std::optional<IncomingVoice> hear(Buffer& buffer) {
    const auto until = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < until) {
      if (voice_.wait_readable(100ms) != UdpSocket::Wait::Readable) continue;
      const auto received = voice_.receive(buffer);
      if (received) return read_incoming_voice(std::span(buffer.data(), received->size));
    }
    return std::nullopt;
  }

  // Asks the relay who is in `channel` and returns the answer.
  std::optional<MemberList> list(int channel) {
    Buffer buffer{};
    control_.send_to(std::span(buffer.data(), write_list_request(buffer)), relay_at(control_port_of(channel)));
    const auto until = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < until) {
      if (control_.wait_readable(100ms) != UdpSocket::Wait::Readable) continue;
      const auto received = control_.receive(buffer);
      if (!received) continue;
      if (auto members = read_member_list(std::span(buffer.data(), received->size));
          members && members->channel == channel)
        return members;
    }
    return std::nullopt;
  }

 private:
  static Endpoint relay_at(int port) { return {kLoopback, static_cast<std::uint16_t>(port)}; }

  UdpSocket voice_;
  UdpSocket control_;
  std::jthread presence_;
};

class RecordedNotices final : public SupervisorNotices {
 public:
  void version_too_old() override { ++too_old; }
  void supervisor_closes() override { ++closes; }
  std::atomic<int> too_old{0};
  std::atomic<int> closes{0};
};

class RelayNetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (relay_from_the_start()) start_relay();
    state_.channel.ChannelPort = kFirstVoicePort;
    state_.identity.set_member_id(kClientMember);
    std::snprintf(state_.identity.MachineId.data(), state_.identity.MachineId.size(), "%s", "0000000000000007");
    ASSERT_EQ(relay_setup(session_, kLoopback, state_.lights), 0);
    ASSERT_TRUE(decoder_.create());  // before the receiving thread starts using it
    workers_.start(
        [this](std::stop_token stop) { run_presence_worker(stop, session_, state_.identity, state_.channel); });
    workers_.start([this](std::stop_token stop) { run_voice_receiver(stop, session_, receiver_); });
    workers_.start([this](std::stop_token stop) { run_control_worker(stop, session_, control_); });
  }

  virtual QStringList relay_arguments() const { return {"--address", "127.0.0.1", "--min-version", "0.7.8"}; }
  virtual bool relay_from_the_start() const { return true; }

  void start_relay() {
    relay_.setProgram(QStringLiteral(MARVOK_RELAY_EXECUTABLE));
    relay_.setArguments(relay_arguments());
    relay_.setProcessChannelMode(QProcess::ForwardedChannels);
    relay_.start();
    ASSERT_TRUE(relay_.waitForStarted(5000));
    std::this_thread::sleep_for(300ms);  // let it bind its ports
  }

  void TearDown() override {
    workers_.stop_all();
    if (relay_.state() == QProcess::NotRunning) return;
    relay_.terminate();
    relay_.waitForFinished(5000);
  }

  // Both members are listed in channel 0 (by lists received from now on),
  // the client hears `sample` from the peer and the peer hears the client.
  void expect_members_hear_each_other(PeerMember& peer, std::uint8_t first_sequence, std::int16_t sample) {
    members_.ChannelMemberCounts[0] = 0;
    ASSERT_TRUE(eventually([&] { return client_lists(0, kPeerMember) && client_lists(0, kClientMember); }));
    EXPECT_EQ(state_.channel.ChannelMemberCount.load(), 2);

    state_.channel.SpeakerId = 0;
    queue_.reset();
    for (int s = 0; s < 3; ++s) peer.say(static_cast<std::uint8_t>(first_sequence + s), sample);
    ASSERT_TRUE(eventually([this] { return state_.channel.SpeakerId.load() == kPeerMember; }));
    EXPECT_TRUE(eventually([&] { return queue_.write_index() == 8; }));
    const auto queued = queue_.snapshot();
    EXPECT_EQ(static_cast<std::int16_t>(queued[5 * kVoiceBlockBytes] | queued[5 * kVoiceBlockBytes + 1] << 8), sample);

    VoiceSender sender(session_, state_.identity, state_.channel, meters_, activity_);
    sender.send_voice_block(block_of(static_cast<std::int16_t>(-sample)));
    Buffer buffer{};
    const auto heard = peer.hear(buffer);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->speaker, kClientMember);
    ASSERT_TRUE(heard->pcm);
    EXPECT_EQ(static_cast<std::int16_t>((*heard->pcm)[0] | (*heard->pcm)[1] << 8), -sample);
  }

  bool client_lists(int channel, std::uint16_t member) {
    const int count = members_.ChannelMemberCounts[static_cast<std::size_t>(channel)].load();
    for (int i = 0; i < count; ++i) {
      if (members_.ChannelMembers[static_cast<std::size_t>(channel)][static_cast<std::size_t>(i)].load() == member)
        return true;
    }
    return false;
  }

  QProcess relay_;
  SessionState state_;
  LevelMeterState meters_;
  RelaySession session_;
  VoiceBlockQueue queue_;
  OpusSpeechDecoder decoder_;
  RenderRing ring_;
  LineRateLimit error_lines_{kOpusErrorLinesPerPeriod, kOpusErrorLinePeriod};
  testing::CountedSpeechActivity activity_;
  VoiceReceiver receiver_{state_, queue_,
                          [this](std::span<const std::uint8_t> packet) {
                            return play_opus_packet(packet, {decoder_, ring_, meters_, error_lines_});
                          },
                          activity_};
  MemberTable members_;
  RecordedNotices notices_;
  ControlWorker control_{session_, state_.channel, state_.lights.SvcLed, members_, notices_};
  WorkerThreads workers_;
};

TEST_F(RelayNetworkTest, MembersAreListedAndHearEachOther) {
  PeerMember peer;
  expect_members_hear_each_other(peer, 1, 1234);
  EXPECT_EQ(state_.lights.ErrorLevel.load(), 0);
}

TEST_F(RelayNetworkTest, ChangingChannelMovesTheMember) {
  PeerMember peer;
  ASSERT_TRUE(eventually([&] { return client_lists(0, kClientMember); }));
  select_channel(state_.channel, 5);
  EXPECT_EQ(state_.channel.ChannelMemberCount.load(), -1);
  ASSERT_TRUE(eventually([this] { return state_.channel.ChannelMemberCount.load() == 1; }));
  EXPECT_TRUE(client_lists(5, kClientMember));
  ASSERT_TRUE(eventually([&] {
    const auto zero = peer.list(0);
    return zero && zero->count == 1 && zero->members[0] == kPeerMember;
  }));
  // Speech in channel 0 no longer reaches the client.
  const int speaker_before = state_.channel.SpeakerId.load();
  peer.say(1, 99);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(state_.channel.SpeakerId.load(), speaker_before);
}

TEST_F(RelayNetworkTest, OperatorsClosingNoticeReachesTheClient) {
  ASSERT_TRUE(eventually([&] { return client_lists(0, kClientMember); }));
  relay_.write("close all\n");
  relay_.waitForBytesWritten(2000);
  ASSERT_TRUE(eventually([&] { return notices_.closes.load() == 1; }));
  EXPECT_EQ(notices_.too_old.load(), 0);
}

// A channel the relay carries as Opus: the client decodes it into the render ring.
class OpusRelayNetworkTest : public RelayNetworkTest {
 protected:
  QStringList relay_arguments() const override { return {"--address", "127.0.0.1", "--opus-channel", "0"}; }
};

TEST_F(OpusRelayNetworkTest, OpusSpeechIsDecodedIntoTheRenderRing) {
  PeerMember peer;
  ASSERT_TRUE(eventually([&] { return client_lists(0, kPeerMember); }));
  for (std::uint8_t s = 1; s <= 8; ++s) peer.say(s, 3000);  // 250 ms of speech
  ASSERT_TRUE(eventually([this] { return state_.display.ReceivedFormat.load() == StreamFormat::Opus; }));
  EXPECT_TRUE(eventually([this] { return ring_.available() >= 9 * 1920; }));  // at least 9 packets of 20 ms
  EXPECT_EQ(state_.channel.SpeakerId.load(), kPeerMember);
  EXPECT_EQ(queue_.write_index(), 5);  // nothing went to the PCM queue
}

// The relay is missing when the client starts, comes later, then dies
// (SIGKILL) and comes back: the client, never restarted, is found again.
class RelayOutageTest : public RelayNetworkTest {
 protected:
  bool relay_from_the_start() const override { return false; }
};

TEST_F(RelayOutageTest, ListsAndSpeechComeBackAfterALateStartAndAKill) {
  EXPECT_TRUE(eventually([this] { return state_.lights.SvcLed.load() == LedColor::Red; }));
  std::uint8_t sequence = 1;
  for (const char* outage : {"started late", "killed and started again"}) {
    SCOPED_TRACE(outage);
    if (relay_.state() != QProcess::NotRunning) {
      relay_.kill();
      ASSERT_TRUE(relay_.waitForFinished(5000));
      EXPECT_TRUE(eventually([this] { return state_.lights.SvcLed.load() == LedColor::Red; }));
    }
    ASSERT_NO_FATAL_FAILURE(start_relay());
    PeerMember peer;
    expect_members_hear_each_other(peer, sequence, 2000);
    sequence += 3;
  }
}

// A relay played by the test on channel 0's ports: it answers each list
// request `answer_delay` late, listing the client and the peer, and sends
// junk or speech to the client's sockets when told.
class ScriptedRelay {
 public:
  explicit ScriptedRelay(std::chrono::milliseconds answer_delay)
      : voice_(*UdpSocket::open_bound({kLoopback, kFirstVoicePort})),
        control_(*UdpSocket::open_bound({kLoopback, kFirstControlPort})),
        thread_([this, answer_delay](std::stop_token stop) { serve(stop, answer_delay); }) {}

  bool found_the_client() const { return voice_port_ != 0 && control_port_ != 0; }

  // Datagrams of every size up to past the client's buffer, most starting
  // like something the client reads, the rest of their bytes random.
  void send_junk(int count) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(0, 1100);
    constexpr std::uint8_t kFirstBytes[] = {'A', 'B', 'O', 'L', 'N', 0, 0xFF};
    std::vector<std::uint8_t> junk;
    for (int i = 0; i < count; ++i) {
      junk.resize(i % 50 == 0 ? 4000 : length(random));
      for (std::uint8_t& b : junk) b = static_cast<std::uint8_t>(byte(random));
      if (!junk.empty()) junk[0] = kFirstBytes[static_cast<std::size_t>(i) % std::size(kFirstBytes)];
      voice_.send_to(junk, {kLoopback, voice_port_});
      control_.send_to(junk, {kLoopback, control_port_});
      if (i % 100 == 99) std::this_thread::sleep_for(5ms);
    }
  }

  void forward_speech(std::uint8_t sequence, std::int16_t sample) {
    Buffer buffer{};
    const auto block = block_of(sample);
    const std::size_t size = write_forwarded_pcm(buffer, VoiceKind::PcmA, sequence, kPeerMember,
                                                 std::span<const std::uint8_t, kVoiceBlockSize>(block));
    voice_.send_to(std::span(buffer.data(), size), {kLoopback, voice_port_});
  }

 private:
  void serve(std::stop_token stop, std::chrono::milliseconds answer_delay) {
    Buffer buffer{};
    while (!stop.stop_requested()) {
      if (voice_.wait_readable(10ms) == UdpSocket::Wait::Readable)
        if (const auto received = voice_.receive(buffer)) voice_port_ = received->from.port;
      if (control_.wait_readable(10ms) != UdpSocket::Wait::Readable) continue;
      const auto received = control_.receive(buffer);
      if (!received || received->size == 0 || buffer[0] != 'L') continue;
      control_port_ = received->from.port;
      if (!sleep_unless_stopped(stop, answer_delay)) return;
      const std::uint16_t listed[] = {kClientMember, kPeerMember};
      control_.send_to(std::span(buffer.data(), write_member_list(buffer, 0, listed)), received->from);
    }
  }

  UdpSocket voice_;
  UdpSocket control_;
  std::atomic<std::uint16_t> voice_port_{0};
  std::atomic<std::uint16_t> control_port_{0};
  std::jthread thread_;
};

class MisbehavingRelayTest : public RelayNetworkTest {
 protected:
  bool relay_from_the_start() const override { return false; }
};

// A relay that answers after the client gave up waiting shows a red control
// light, junk shows on the voice light; the lists still count and the
// speech after them is queued.
TEST_F(MisbehavingRelayTest, LightsShowItAndRealSpeechIsStillPlayedAfterwards) {
  const struct {
    const char* name;
    std::chrono::milliseconds answer_delay;
    int junk_datagrams;
    LedCell LightsState::*light;
    LedColor shown;
  } cases[] = {
      {"answers late", 1200ms, 0, &LightsState::SvcLed, LedColor::Red},
      {"sends junk", 0ms, 3000, &LightsState::TstLed, LedColor::Yellow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedRelay relay(c.answer_delay);
    ASSERT_TRUE(eventually([&] { return relay.found_the_client(); }));
    relay.send_junk(c.junk_datagrams);
    EXPECT_TRUE(eventually([&] { return (state_.lights.*c.light).load() == c.shown; }));
    members_.ChannelMemberCounts[0] = 0;
    EXPECT_TRUE(eventually([&] { return client_lists(0, kPeerMember) && client_lists(0, kClientMember); }));

    state_.channel.SpeakerId = 0;
    queue_.reset();
    for (std::uint8_t s = 101; s <= 104; ++s) relay.forward_speech(s, 4321);
    ASSERT_TRUE(eventually([this] { return state_.channel.SpeakerId.load() == kPeerMember; }));
    EXPECT_TRUE(eventually([&] { return queue_.write_index() >= 8; }));
    const auto queued = queue_.snapshot();
    EXPECT_EQ(static_cast<std::int16_t>(queued[6 * kVoiceBlockBytes] | queued[6 * kVoiceBlockBytes + 1] << 8), 4321);
  }
}

}  // namespace
}  // namespace marvok::relay
