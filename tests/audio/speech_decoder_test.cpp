#include "audio/speech_decoder.h"

#include <gtest/gtest.h>
#include <opus/opus.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace marvok {
namespace {

// One 20 ms packet of a 440 Hz stereo tone at 8000 Hz.
std::vector<std::uint8_t> encoded_tone_packet() {
  int error = 0;
  OpusEncoder* encoder = opus_encoder_create(8000, 2, OPUS_APPLICATION_VOIP, &error);
  std::array<opus_int16, 160 * 2> pcm{};
  for (int i = 0; i < 160; ++i)
    pcm[2 * i] = pcm[2 * i + 1] = static_cast<opus_int16>(8000 * std::sin(2 * std::numbers::pi * 440 * i / 8000.0));
  std::vector<std::uint8_t> packet(255);
  const int length = opus_encode(encoder, pcm.data(), 160, packet.data(), static_cast<opus_int32>(packet.size()));
  opus_encoder_destroy(encoder);
  packet.resize(static_cast<std::size_t>(std::max(length, 0)));
  return packet;
}

TEST(SpeechDecoderTest, DecodesAPacketIntoStereoFrames) {
  OpusSpeechDecoder decoder;
  ASSERT_TRUE(decoder.create());
  const auto packet = encoded_tone_packet();
  ASSERT_FALSE(packet.empty());
  std::vector<std::int16_t> frames(2 * 960);
  EXPECT_EQ(decoder.decode(packet, frames), 160);
}

TEST(SpeechDecoderTest, EmptyDecoderDecodesNothing) {
  OpusSpeechDecoder decoder;
  std::vector<std::int16_t> frames(2 * 960, 7);
  EXPECT_EQ(decoder.decode(encoded_tone_packet(), frames), -1);
  ASSERT_TRUE(decoder.create());
  decoder.destroy();
  EXPECT_FALSE(decoder.exists());
  EXPECT_EQ(decoder.decode(encoded_tone_packet(), frames), -1);
  EXPECT_EQ(frames[0], 7);
}

TEST(SpeechDecoderTest, CorruptPacketReportsTheCodecError) {
  OpusSpeechDecoder decoder;
  ASSERT_TRUE(decoder.create());
  const std::vector<std::uint8_t> garbage = {0xFF, 0xFF, 0xFF};
  std::vector<std::int16_t> frames(2 * 960);
  EXPECT_LT(decoder.decode(garbage, frames), 0);
}

}  // namespace
}  // namespace marvok
