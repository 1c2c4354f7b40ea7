#include <gtest/gtest.h>
#include <opus.h>

#include <cmath>
#include <memory>

#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

constexpr int kOpusChannel = 4;
constexpr double kToneHz = 1000.0;
constexpr double kToneAmplitude = 8000.0;
constexpr int kBlocks = 16;  // 4000 frames: exactly 25 packets of 160
constexpr int kFramesPerBlock = 250;
constexpr int kFramesPerPacket = 160;

struct DecoderDeleter {
  void operator()(OpusDecoder* decoder) const { opus_decoder_destroy(decoder); }
};

double rms(const std::vector<opus_int16>& left) {
  double sum = 0;
  for (const opus_int16 sample : left) sum += static_cast<double>(sample) * sample;
  return std::sqrt(sum / static_cast<double>(left.size()));
}

// Counting upward zero crossings is enough to tell a 1 kHz tone apart.
double frequency_of(const std::vector<opus_int16>& left) {
  int crossings = 0;
  for (std::size_t i = 1; i < left.size(); ++i)
    if (left[i - 1] < 0 && left[i] >= 0) ++crossings;
  return crossings * 8000.0 / static_cast<double>(left.size());
}

TEST(RelayOpusChannel, SpeechArrivesAsSmallOpusPacketsThatDecodeToTheTone) {
  RelayConfig config = test_config();
  config.opus_channels.set(kOpusChannel);
  RunningRelay relay(config);
  TestClient speaker(5);
  TestClient listener(6);
  speaker.join(kOpusChannel);
  listener.join(kOpusChannel);

  for (int block = 0; block < kBlocks; ++block)
    speaker.speak(kOpusChannel, tone_block(kToneHz, kToneAmplitude, block * kFramesPerBlock));

  int error = 0;
  const std::unique_ptr<OpusDecoder, DecoderDeleter> decoder(opus_decoder_create(8000, 2, &error));
  ASSERT_EQ(error, OPUS_OK);
  std::vector<opus_int16> left;
  const int packets = kBlocks * kFramesPerBlock / kFramesPerPacket;
  for (int i = 0; i < packets; ++i) {
    const auto datagram = listener.receive_voice();
    ASSERT_TRUE(datagram) << "packet " << i << " missing";
    const auto voice = relay::read_incoming_voice(*datagram);
    ASSERT_TRUE(voice);
    EXPECT_EQ(voice->kind, relay::VoiceKind::Opus);
    EXPECT_EQ(voice->speaker, 5);
    EXPECT_EQ(voice->sequence, static_cast<std::uint8_t>(i + 1));
    ASSERT_TRUE(voice->opus) << "packet " << i << " cut short";
    const std::span<const std::uint8_t> packet = *voice->opus;
    ASSERT_FALSE(packet.empty());
    EXPECT_LE(packet.size(), relay::kMaxOpusPacketSize);
    EXPECT_EQ(datagram->size(), relay::kVoiceHeaderSize + packet.size());

    std::array<opus_int16, 960 * 2> pcm{};
    const int frames =
        opus_decode(decoder.get(), packet.data(), static_cast<opus_int32>(packet.size()), pcm.data(), 960, 0);
    ASSERT_EQ(frames, kFramesPerPacket);
    for (int frame = 0; frame < frames; ++frame) left.push_back(pcm[static_cast<std::size_t>(frame) * 2]);
  }
  EXPECT_FALSE(listener.receive_voice(200ms)) << "more packets than the speech fills";
  EXPECT_FALSE(speaker.receive_voice(1ms));

  // Skip the first packets, where the codec is still settling.
  const std::vector<opus_int16> settled(left.begin() + 4 * kFramesPerPacket, left.end());
  const double sent_rms = kToneAmplitude / std::sqrt(2.0);
  EXPECT_NEAR(rms(settled), sent_rms, sent_rms * 0.3);
  EXPECT_NEAR(frequency_of(settled), kToneHz, kToneHz * 0.05);
}

TEST(RelayOpusChannel, OtherChannelsStayRaw) {
  RelayConfig config = test_config();
  config.opus_channels.set(kOpusChannel);
  RunningRelay relay(config);
  TestClient speaker(5);
  TestClient listener(6);
  speaker.join(kOpusChannel + 1);
  listener.join(kOpusChannel + 1);

  speaker.speak(kOpusChannel + 1, filled_block(4));
  const auto datagram = listener.receive_voice();
  ASSERT_TRUE(datagram);
  EXPECT_EQ(relay::read_incoming_voice(*datagram)->kind, relay::VoiceKind::PcmA);
}

}  // namespace
}  // namespace marvok::relay_server::testing
