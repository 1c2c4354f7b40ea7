// The client's relay threads on real loopback sockets, against a scripted
// relay bound to the relay's fixed ports. Each test runs in a private network
// namespace, so the ports never clash.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

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

struct Arrival {
  int port = 0;
  Endpoint from;
  std::vector<std::uint8_t> bytes;
  std::chrono::steady_clock::time_point at;
};

// Plays the relay: binds the ports it is asked to listen on and records what arrives.
class ScriptedRelay {
 public:
  explicit ScriptedRelay(std::vector<int> ports) {
    for (int port : ports) {
      auto socket = UdpSocket::open_bound({kLoopback, static_cast<std::uint16_t>(port)});
      EXPECT_TRUE(socket) << "port " << port;
      if (socket) sockets_.emplace(port, std::move(*socket));
    }
  }

  // Collects datagrams until `count` arrived or `within` passed.
  std::vector<Arrival> collect(std::size_t count, std::chrono::milliseconds within) {
    std::vector<Arrival> arrivals;
    const auto until = std::chrono::steady_clock::now() + within;
    Buffer buffer{};
    while (arrivals.size() < count && std::chrono::steady_clock::now() < until) {
      bool any = false;
      for (auto& [port, socket] : sockets_) {
        while (auto received = socket.receive(buffer)) {
          any = true;
          arrivals.push_back({port,
                              received->from,
                              {buffer.begin(), buffer.begin() + received->size},
                              std::chrono::steady_clock::now()});
        }
      }
      if (!any) std::this_thread::sleep_for(1ms);
    }
    return arrivals;
  }

  UdpSocket& at(int port) { return sockets_.at(port); }

 private:
  std::map<int, UdpSocket> sockets_;
};

class RelaySocketsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.channel.ChannelPort = 30000;
    state_.identity.set_member_id(0x1234);
    std::snprintf(state_.identity.MachineId.data(), state_.identity.MachineId.size(), "%s", "0000004294967295");
    state_.lights.reset();
    state_.talk.set_key(TalkValue::Released);
  }
  SessionState state_;
  UnseenSpeech unseen_;
  LevelMeterState meters_;
  RelaySession session_;
};

TEST_F(RelaySocketsTest, SetupSendsBothHellosToTheFirstVoicePort) {
  ScriptedRelay relay({30000});
  ASSERT_EQ(relay_setup(session_, kLoopback, state_.lights), 0);
  const auto arrivals = relay.collect(2, 2s);
  ASSERT_EQ(arrivals.size(), 2u);
  EXPECT_EQ(arrivals[0].bytes.size(), 9u);
  EXPECT_EQ(arrivals[1].bytes.size(), 18u);
  EXPECT_EQ(arrivals[0].from.port, session_.VoiceSocket.local_endpoint()->port);
  EXPECT_EQ(arrivals[1].from.port, session_.ControlSocket.local_endpoint()->port);
  EXPECT_NE(arrivals[0].from.port, arrivals[1].from.port);
  EXPECT_EQ(state_.lights.UdpLed.load(), LedColor::Yellow);
  EXPECT_EQ(state_.lights.SvcLed.load(), LedColor::Yellow);
}

TEST_F(RelaySocketsTest, PresenceRotatesNameDeviceVersionAndFollowsTheChannel) {
  ScriptedRelay relay({30000, 30003});
  ASSERT_EQ(relay_setup(session_, kLoopback, state_.lights), 0);
  relay.collect(2, 2s);  // the hellos
  WorkerThreads workers;
  workers.start([this](std::stop_token stop) { run_presence_worker(stop, session_, state_.identity, state_.channel); });
  const auto on_zero = relay.collect(30, 3s);
  select_channel(state_.channel, 3);
  relay.collect(3, 1s);  // those in flight while the channel changes
  const auto on_three = relay.collect(30, 3s);
  workers.stop_all();

  ASSERT_GE(on_zero.size(), 30u);
  EXPECT_EQ(on_zero[0].bytes[9], 'N');
  EXPECT_EQ(on_zero[1].bytes[9], 'D');
  EXPECT_EQ(on_zero[2].bytes[9], 'V');
  EXPECT_EQ(on_zero[3].bytes[9], 'N');
  EXPECT_EQ(on_zero[1].bytes.size(), 27u);
  EXPECT_EQ(on_zero[0].bytes[3], 0x34);
  EXPECT_EQ(on_zero[0].bytes[4], 0x12);
  for (const Arrival& a : on_zero) EXPECT_EQ(a.port, 30000);
  ASSERT_GE(on_three.size(), 30u);
  for (const Arrival& a : on_three) EXPECT_EQ(a.port, 30003);

  // Channel 3 is paced at 15 ms, the others at 20 ms.
  const auto mean_gap = [](const std::vector<Arrival>& a) {
    return std::chrono::duration<double, std::milli>(a.back().at - a.front().at).count() / double(a.size() - 1);
  };
  EXPECT_LT(mean_gap(on_three), mean_gap(on_zero));
  EXPECT_GT(mean_gap(on_zero), 19.0);
  EXPECT_GT(mean_gap(on_three), 14.0);
}

TEST_F(RelaySocketsTest, VoiceSenderNumbersBlocksAcrossChannelChanges) {
  ScriptedRelay relay({30000, 30006});
  ASSERT_EQ(relay_setup(session_, kLoopback, state_.lights), 0);
  relay.collect(2, 2s);
  testing::CountedSpeechActivity activity;
  VoiceSender sender(session_, state_.identity, state_.channel, meters_, activity);
  const std::array<std::uint8_t, kVoiceBlockSize> block{};
  for (int i = 0; i < 6; ++i) sender.send_voice_block(block);
  EXPECT_EQ(activity.sent.load(), 6);
  select_channel(state_.channel, 6);
  sender.send_voice_block(block);

  const auto arrivals = relay.collect(7, 2s);
  ASSERT_EQ(arrivals.size(), 7u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(arrivals[i].bytes[1], i + 1);
  EXPECT_EQ(arrivals[5].port, 30000);
  EXPECT_EQ(arrivals[6].port, 30006);
  EXPECT_EQ(arrivals[6].bytes.size(), 1024u);

  // The 256th block of the run carries 0, then the count goes on from 1.
  for (int i = 8; i <= 257; ++i) sender.send_voice_block(block);
  EXPECT_EQ(sender.next_sequence(), 2);
}

TEST_F(RelaySocketsTest, ControlTurnsAlternateListsAndAlive) {
  ScriptedRelay relay({30000, 31000, 31001, 31004});
  ASSERT_EQ(relay_setup(session_, kLoopback, state_.lights), 0);
  RelaySession& session = session_;
  struct NoNotices final : SupervisorNotices {
    void version_too_old() override {}
    void supervisor_closes() override {}
  } notices;
  MemberTable members;
  ControlWorker worker(session, state_.channel, state_.lights.SvcLed, members, notices);
  WorkerThreads workers;
  workers.start([&](std::stop_token stop) { run_control_worker(stop, session, worker); });
  const auto arrivals = relay.collect(7, 4s);  // two hellos, L L, A, L L
  workers.stop_all();

  ASSERT_EQ(arrivals.size(), 7u);
  std::vector<std::pair<int, char>> seen;
  for (std::size_t i = 2; i < arrivals.size(); ++i)
    seen.emplace_back(arrivals[i].port, static_cast<char>(arrivals[i].bytes[0]));
  // The second turn's two lists leave back to back for two ports, which the relay reads in either order.
  std::sort(seen.begin() + 3, seen.end());
  EXPECT_EQ(seen,
            (std::vector<std::pair<int, char>>{{31000, 'L'}, {31000, 'L'}, {31000, 'A'}, {31000, 'L'}, {31001, 'L'}}));
  EXPECT_EQ(arrivals[1].bytes.size(), 18u);  // the control hello came first, to the voice port
  EXPECT_EQ(arrivals[1].port, 30000);
}

TEST_F(RelaySocketsTest, ReceiverTakesSpeechOnlyFromTheRelayAddress) {
  ScriptedRelay relay({30000});
  ASSERT_EQ(relay_setup(session_, kLoopback, state_.lights), 0);
  const Endpoint client{kLoopback, session_.VoiceSocket.local_endpoint()->port};
  VoiceBlockQueue queue;
  VoiceReceiver receiver(
      state_, queue, [](std::span<const std::uint8_t>) { return 0; }, unseen_);
  state_.channel.SpeakerId = 0;
  WorkerThreads workers;
  workers.start([&](std::stop_token stop) { run_voice_receiver(stop, session_, receiver); });

  Buffer buffer{};
  const std::array<std::uint8_t, kVoiceBlockSize> block{};
  auto stranger = UdpSocket::open_bound({0x7F000002, 0});  // another host on the loopback network
  ASSERT_TRUE(stranger);
  stranger->send_to(std::span(buffer.data(), write_forwarded_pcm(buffer, VoiceKind::PcmA, 1, 666, block)), client);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 0);

  relay.at(30000).send_to(std::span(buffer.data(), write_forwarded_pcm(buffer, VoiceKind::PcmA, 1, 42, block)), client);
  const auto until = std::chrono::steady_clock::now() + 2s;
  while (state_.channel.SpeakerId.load() != 42 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(5ms);
  workers.stop_all();
  EXPECT_EQ(state_.channel.SpeakerId.load(), 42);
  EXPECT_EQ(queue.write_index(), 6);
}

// A burst already waiting when the receiver starts, longer than one read
// takes at a time, with datagrams that cannot be read among it: every
// speech datagram is taken in, in order.
TEST_F(RelaySocketsTest, ReceiverTakesAWholeBurstPastUnreadableDatagrams) {
  ScriptedRelay relay({30000});
  ASSERT_EQ(relay_setup(session_, kLoopback, state_.lights), 0);
  const Endpoint client{kLoopback, session_.VoiceSocket.local_endpoint()->port};
  const UdpSocket& from_relay = relay.at(30000);
  Buffer buffer{};
  const std::array<std::uint8_t, kVoiceBlockSize> block{};
  const std::vector<std::uint8_t> oversize(kMaxDatagramSize + 1, 'P');
  constexpr int kSpeech = 100;
  for (int sequence = 1; sequence <= kSpeech; ++sequence) {
    const auto speaker = static_cast<std::uint16_t>(sequence);
    from_relay.send_to(
        std::span(buffer.data(),
                  write_forwarded_pcm(buffer, VoiceKind::PcmA, static_cast<std::uint8_t>(sequence), speaker, block)),
        client);
    if (sequence % 30 == 0) from_relay.send_to(oversize, client);
    if (sequence % 45 == 0) from_relay.send_to(std::span<const std::uint8_t>(), client);
  }

  VoiceBlockQueue queue;
  VoiceReceiver receiver(
      state_, queue, [](std::span<const std::uint8_t>) { return 0; }, unseen_);
  WorkerThreads workers;
  workers.start([&](std::stop_token stop) { run_voice_receiver(stop, session_, receiver); });
  const auto until = std::chrono::steady_clock::now() + 2s;
  while (receiver.accepted_count() < kSpeech && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(5ms);
  const int error_level = state_.lights.ErrorLevel.load();  // before the stop's silent wait sets it
  workers.stop_all();
  EXPECT_EQ(receiver.accepted_count(), static_cast<std::uint64_t>(kSpeech));
  EXPECT_EQ(state_.channel.SpeakerId.load(), kSpeech);
  EXPECT_EQ(error_level, 0);  // nothing lost, nothing out of order
}

}  // namespace
}  // namespace marvok::relay
