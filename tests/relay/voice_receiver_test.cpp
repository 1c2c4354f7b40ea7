#include "relay/voice_receiver.h"

#include <gtest/gtest.h>

#include <vector>

#include "state/session_state.h"
#include "support/counted_speech_activity.h"

namespace marvok::relay {
namespace {

class VoiceReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.channel.ChannelPort = 30000;
    state_.channel.SpeakerId = 0;
    state_.talk.set_key(TalkValue::Released);
    state_.talk.set_pedal(TalkValue::Released);
    state_.lights.reset();
    state_.lights.ErrorLevel = 99;
    state_.display.ReceivedFormat = StreamFormat::None;
    state_.lights.PlaybackCursorCell = 0;
    receiver_.start();
  }

  std::vector<std::uint8_t> pcm(std::uint8_t sequence, std::int16_t sample = 1000, VoiceKind kind = VoiceKind::PcmA,
                                std::uint16_t speaker = 0x0203) {
    std::array<std::uint8_t, kVoiceBlockSize> block{};
    for (std::size_t i = 0; i < block.size(); i += 2) {
      block[i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) & 0xFF);
      block[i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8);
    }
    Buffer buffer{};
    const std::size_t size = write_forwarded_pcm(buffer, kind, sequence, speaker, block);
    return {buffer.begin(), buffer.begin() + size};
  }

  std::vector<std::uint8_t> opus(std::uint8_t sequence, std::uint16_t speaker = 77) {
    const std::uint8_t packet[3] = {1, 2, 3};
    Buffer buffer{};
    const std::size_t size = write_forwarded_opus(buffer, sequence, speaker, packet);
    return {buffer.begin(), buffer.begin() + size};
  }

  void receive(const std::vector<std::uint8_t>& datagram) { receiver_.handle_datagram(datagram); }

  // Blocks queued so far, from block 5 on.
  std::int16_t queued_sample(int block) {
    const auto blocks = queue_.snapshot();
    const std::size_t at = static_cast<std::size_t>(block) * kVoiceBlockBytes;
    return static_cast<std::int16_t>(blocks[at] | blocks[at + 1] << 8);
  }

  int error_level() const { return state_.lights.ErrorLevel.load(); }

  SessionState state_;
  VoiceBlockQueue queue_;
  int opus_frames_ = 0;
  int opus_calls_ = 0;
  testing::CountedSpeechActivity activity_;
  VoiceReceiver receiver_{state_, queue_,
                          [this](std::span<const std::uint8_t>) {
                            ++opus_calls_;
                            return opus_frames_;
                          },
                          activity_};
};

TEST_F(VoiceReceiverTest, InSequenceSpeechCountsNoLoss) {
  for (int s = 1; s <= 3; ++s) receive(pcm(static_cast<std::uint8_t>(s)));
  EXPECT_EQ(error_level(), 0);
  EXPECT_EQ(queue_.write_index(), 8);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 0x0203);
  EXPECT_EQ(state_.display.ReceivedFormat.load(), StreamFormat::Pcm);
  EXPECT_EQ(state_.lights.TstLed.load(), LedColor::Green);
}

TEST_F(VoiceReceiverTest, GapCountsOneLossWhateverItsSize) {
  receive(pcm(1));
  receive(pcm(5));
  EXPECT_EQ(error_level(), 1);
  receive(pcm(6));
  receive(pcm(200));
  EXPECT_EQ(error_level(), 2);
}

TEST_F(VoiceReceiverTest, DuplicateIsCountedAndNotPlayed) {
  receive(pcm(5, 100));
  receive(pcm(5, 200));
  EXPECT_EQ(queue_.write_index(), 6);
  EXPECT_EQ(queued_sample(5), 100);
  // The duplicate's loss shows with the next datagram accepted.
  receive(pcm(6));
  EXPECT_EQ(error_level(), 2);
}

TEST_F(VoiceReceiverTest, SequenceWrapsFrom255To0) {
  receive(pcm(255));
  const int after_first = error_level();
  receive(pcm(0));
  EXPECT_EQ(error_level(), after_first);
}

TEST_F(VoiceReceiverTest, FirstDatagramNumberedZeroIsTakenForADuplicate) {
  receive(pcm(0));
  EXPECT_EQ(queue_.write_index(), 5);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 0);
}

TEST_F(VoiceReceiverTest, LossCountRestartsAfterTheHundredAndFirstDatagram) {
  receive(pcm(1));
  receive(pcm(3));  // one loss
  std::uint8_t s = 3;
  for (int i = 2; i < 100; ++i) receive(pcm(++s));
  EXPECT_EQ(error_level(), 1);
  receive(pcm(++s));  // the 101st: the window restarts
  EXPECT_EQ(error_level(), 0);
}

TEST_F(VoiceReceiverTest, KindBIsAttenuatedOnChannelTenOnly) {
  state_.channel.ChannelPort = 30010;
  receive(pcm(1, 1000, VoiceKind::PcmB));
  receive(pcm(2, 1000, VoiceKind::PcmA));
  state_.channel.ChannelPort = 30009;
  receive(pcm(3, 1000, VoiceKind::PcmB));
  EXPECT_EQ(queued_sample(5), 100);
  EXPECT_EQ(queued_sample(6), 1000);
  EXPECT_EQ(queued_sample(7), 1000);
}

TEST_F(VoiceReceiverTest, UnknownContentFlagChangesSpeakerAndLightsButQueuesNothing) {
  auto datagram = pcm(1);
  datagram[7] = 'W';
  receive(datagram);
  EXPECT_EQ(queue_.write_index(), 5);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 0x0203);
  EXPECT_EQ(state_.display.ReceivedFormat.load(), StreamFormat::None);
}

TEST_F(VoiceReceiverTest, SilentBlockQueuesSilence) {
  Buffer buffer{};
  const std::size_t size = write_forwarded_pcm(buffer, VoiceKind::PcmA, 1, 9, std::nullopt);
  receiver_.handle_datagram(std::span(buffer.data(), size));
  EXPECT_EQ(queue_.write_index(), 6);
  EXPECT_EQ(state_.display.ReceivedFormat.load(), StreamFormat::None);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 9);
}

TEST_F(VoiceReceiverTest, CutBlockCountsButPlaysNothing) {
  auto datagram = pcm(1);
  datagram.resize(600);
  receive(datagram);
  EXPECT_EQ(queue_.write_index(), 5);
  EXPECT_EQ(error_level(), 0);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 0x0203);
}

TEST_F(VoiceReceiverTest, OpusThatPlaysNothingUpdatesLossesButNotTheSpeaker) {
  opus_frames_ = 0;
  receive(opus(1));
  EXPECT_EQ(opus_calls_, 1);
  EXPECT_EQ(error_level(), 0);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 0);
  EXPECT_EQ(state_.display.ReceivedFormat.load(), StreamFormat::None);

  opus_frames_ = 160;
  receive(opus(2));
  EXPECT_EQ(state_.channel.SpeakerId.load(), 77);
  EXPECT_EQ(state_.display.ReceivedFormat.load(), StreamFormat::Opus);
}

TEST_F(VoiceReceiverTest, OpusPacketCutShortIsNotHandedToTheDecoder) {
  auto datagram = opus(1);
  datagram.pop_back();
  receive(datagram);
  EXPECT_EQ(opus_calls_, 0);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 0);
}

TEST_F(VoiceReceiverTest, TellsTheWindowOfEachBlockThatPlays) {
  receive(pcm(1));
  receive(pcm(1));   // a duplicate, not played
  receive(opus(2));  // the decoder gave nothing
  opus_frames_ = 960;
  receive(opus(3));
  EXPECT_EQ(activity_.played.load(), 2);
}

TEST_F(VoiceReceiverTest, ForeignKindOnlyTurnsTstYellow) {
  const std::vector<std::uint8_t> foreign = {'Z', 1, 0, 5, 0, 0, 0, 1};
  receive(foreign);
  EXPECT_EQ(state_.lights.TstLed.load(), LedColor::Yellow);
  EXPECT_EQ(error_level(), 99);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 0);
}

TEST_F(VoiceReceiverTest, SilenceShowsErrorLevel99AndKeepsTheSpeaker) {
  receive(pcm(1));
  receiver_.handle_silence();
  EXPECT_EQ(error_level(), 99);
  EXPECT_EQ(state_.channel.SpeakerId.load(), 0x0203);
}

}  // namespace
}  // namespace marvok::relay
