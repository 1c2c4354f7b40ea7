#include "audio/opus_playback.h"

#include <gtest/gtest.h>
#include <opus/opus.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "audio/level_meter.h"

namespace marvok {
namespace {

// One packet of a stereo tone at 8000 Hz, `frames` frames per channel long.
std::vector<std::uint8_t> tone_packet(int frames) {
  int error = 0;
  OpusEncoder* encoder = opus_encoder_create(8000, 2, OPUS_APPLICATION_VOIP, &error);
  std::vector<opus_int16> pcm(static_cast<std::size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    pcm[2 * static_cast<std::size_t>(i)] = pcm[2 * static_cast<std::size_t>(i) + 1] =
        static_cast<opus_int16>(12000 * std::sin(2 * std::numbers::pi * 500 * i / 8000.0));
  }
  std::vector<std::uint8_t> packet(400);
  const int length = opus_encode(encoder, pcm.data(), frames, packet.data(), static_cast<opus_int32>(packet.size()));
  opus_encoder_destroy(encoder);
  packet.resize(static_cast<std::size_t>(std::max(length, 0)));
  return packet;
}

TEST(UpsampleTest, StraightLinesBetweenNeighboursAndTheLastSampleHeld) {
  std::vector<std::int16_t> out;
  const std::int16_t two[] = {0, 600};
  upsample_by_six(two, out);
  EXPECT_EQ(out, (std::vector<std::int16_t>{0, 100, 200, 300, 400, 500, 600, 600, 600, 600, 600, 600}));
  const std::int16_t falling[] = {-32768, 32767, -7};
  upsample_by_six(falling, out);
  ASSERT_EQ(out.size(), 18u);
  EXPECT_EQ(out[0], -32768);
  EXPECT_EQ(out[6], 32767);
  EXPECT_EQ(out[17], -7);
}

TEST(OpusPlaybackTest, TwentyMillisecondPacketAddsTwentyMillisecondsAt48kHz) {
  OpusSpeechDecoder decoder;
  ASSERT_TRUE(decoder.create());
  RenderRing ring;
  LevelMeterState meters;
  LineRateLimit error_lines(kOpusErrorLinesPerPeriod, kOpusErrorLinePeriod);
  EXPECT_EQ(play_opus_packet(tone_packet(160), {decoder, ring, meters, error_lines}), 160);
  EXPECT_EQ(ring.available(), 1920u);
  EXPECT_GT(meters.LeftNeedleLevel.load(), 0);
  std::vector<float> played(1920);
  ring.read_into(played);
  float loudest = 0;
  for (float sample : played) loudest = std::max(loudest, std::abs(sample));
  EXPECT_GT(loudest, 0.05f);
  EXPECT_LE(loudest, 1.0f);
}

TEST(OpusPlaybackTest, PacketLongerThanTheAreaIsRefusedAndTold) {
  OpusSpeechDecoder decoder;
  ASSERT_TRUE(decoder.create());
  RenderRing ring;
  LevelMeterState meters;
  LineRateLimit error_lines(kOpusErrorLinesPerPeriod, kOpusErrorLinePeriod);
  testing::internal::CaptureStdout();
  EXPECT_EQ(play_opus_packet(tone_packet(320), {decoder, ring, meters, error_lines}), -2);  // 40 ms
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Erreur : myRingBuffer trop petit\n");
  EXPECT_EQ(ring.available(), 0u);
}

TEST(OpusPlaybackTest, CorruptPacketIsToldAndMissingDecoderIsSilent) {
  OpusSpeechDecoder decoder;
  RenderRing ring;
  LevelMeterState meters;
  LineRateLimit error_lines(kOpusErrorLinesPerPeriod, kOpusErrorLinePeriod);
  const std::vector<std::uint8_t> corrupt = {0xFF, 0xFF, 0xFF, 0xFF};
  testing::internal::CaptureStdout();
  EXPECT_EQ(play_opus_packet(corrupt, {decoder, ring, meters, error_lines}), -1);  // no decoder yet
  ASSERT_TRUE(decoder.create());
  EXPECT_LT(play_opus_packet(corrupt, {decoder, ring, meters, error_lines}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Erreur : paquet Opus invalide/corrompu\n");
  // Accented lines in the console's UTF-8, not the members' single-byte code page.
  EXPECT_STREQ(opus_error_line(-6), "Erreur : état du décodeur invalide\n");
  EXPECT_EQ(opus_error_line(-99), nullptr);
}

TEST(OpusPlaybackTest, AFloodOfCorruptPacketsPrintsABoundedNumberOfLines) {
  OpusSpeechDecoder decoder;
  ASSERT_TRUE(decoder.create());
  RenderRing ring;
  LevelMeterState meters;
  LineRateLimit error_lines(kOpusErrorLinesPerPeriod, kOpusErrorLinePeriod);
  const std::vector<std::uint8_t> corrupt = {0xFF, 0xFF, 0xFF, 0xFF};
  testing::internal::CaptureStdout();
  for (int i = 0; i < 1000; ++i) play_opus_packet(corrupt, {decoder, ring, meters, error_lines});
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), kOpusErrorLinesPerPeriod);
}

TEST(RenderRingTest, ReaderGetsWhatWasWrittenThenSilence) {
  RenderRing ring;
  const std::vector<float> written = {0.1f, 0.2f, 0.3f};
  ring.write(written);
  std::vector<float> read(5, 9.0f);
  EXPECT_EQ(ring.read_into(read), 3u);
  EXPECT_EQ(read, (std::vector<float>{0.1f, 0.2f, 0.3f, 0.0f, 0.0f}));
  EXPECT_EQ(ring.available(), 0u);
}

TEST(RenderRingTest, WriterRunningAheadOverwritesTheOldest) {
  RenderRing ring;
  std::vector<float> lots(RenderRing::kSamples + 10);
  for (std::size_t i = 0; i < lots.size(); ++i) lots[i] = static_cast<float>(i);
  ring.write(lots);
  // The positions wrapped: only the ten samples past the reader are seen as new.
  EXPECT_EQ(ring.available(), 10u);
  std::vector<float> read(10);
  ring.read_into(read);
  EXPECT_EQ(read.front(), static_cast<float>(RenderRing::kSamples));
}

}  // namespace
}  // namespace marvok
