#include "audio/playback_queue.h"

#include <gtest/gtest.h>

#include "audio/level_meter.h"

namespace marvok {
namespace {

std::array<std::uint8_t, kVoiceBlockBytes> block_of(std::int16_t sample) {
  std::array<std::uint8_t, kVoiceBlockBytes> block{};
  for (std::size_t i = 0; i < block.size(); i += 2) {
    block[i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) & 0xFF);
    block[i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8);
  }
  return block;
}

std::int16_t sample_at(std::span<const std::uint8_t> bytes, std::size_t block, std::size_t index = 0) {
  const std::size_t at = block * kVoiceBlockBytes + 2 * index;
  return static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8);
}

TEST(PlaybackQueueTest, ResetSilencesAndStartsAtBlockFive) {
  VoiceBlockQueue queue;
  queue.queue_voice_block(block_of(7), Attenuation::None);
  queue.reset();
  EXPECT_EQ(queue.write_index(), 5);
  const auto blocks = queue.snapshot();
  EXPECT_TRUE(std::all_of(blocks.begin(), blocks.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(PlaybackQueueTest, FullQueueKeepsOverwritingTheLastBlock) {
  VoiceBlockQueue queue;
  queue.reset();
  for (std::int16_t n = 1; n <= 12; ++n) queue.queue_voice_block(block_of(n), Attenuation::None);
  EXPECT_EQ(queue.write_index(), 15);
  const auto full = queue.snapshot();
  EXPECT_EQ(sample_at(full, 5), 1);
  EXPECT_EQ(sample_at(full, 14), 10);
  EXPECT_EQ(sample_at(full, 15), 12);  // the twelfth overwrote the eleventh
  queue.queue_voice_block(block_of(99), Attenuation::None);
  EXPECT_EQ(sample_at(queue.snapshot(), 15), 99);
  EXPECT_EQ(sample_at(queue.snapshot(), 14), 10);
}

TEST(PlaybackQueueTest, ShiftPlaysBlocksFourToSevenAndMovesTheRestDown) {
  VoiceBlockQueue queue;
  queue.reset();
  for (std::int16_t n = 1; n <= 6; ++n) queue.queue_voice_block(block_of(n), Attenuation::None);  // blocks 5..10
  std::array<std::uint8_t, kOutputBufferBytes> output{};
  queue.shift_out(output);
  // The buffer played now is what sat in blocks 4 to 7: silence, then blocks 1 to 3.
  EXPECT_EQ(sample_at(output, 0), 0);
  EXPECT_EQ(sample_at(output, 1), 1);
  EXPECT_EQ(sample_at(output, 3), 3);
  EXPECT_EQ(queue.write_index(), 7);
  const auto after = queue.snapshot();
  EXPECT_EQ(sample_at(after, 4), 4);
  EXPECT_EQ(sample_at(after, 12), 0);
  EXPECT_EQ(sample_at(after, 15), 0);

  queue.shift_out(output);
  queue.shift_out(output);
  EXPECT_EQ(queue.write_index(), 4);  // never below the first fresh block
}

TEST(PlaybackQueueTest, SilentBlockAdvancesLikeAVoiceBlock) {
  VoiceBlockQueue queue;
  queue.reset();
  queue.queue_voice_block(block_of(5), Attenuation::None);
  queue.queue_silent_block();
  queue.queue_voice_block(block_of(6), Attenuation::None);
  const auto blocks = queue.snapshot();
  EXPECT_EQ(sample_at(blocks, 5), 5);
  EXPECT_EQ(sample_at(blocks, 6), 0);
  EXPECT_EQ(sample_at(blocks, 7), 6);
}

TEST(PlaybackQueueTest, AttenuationKeepsATenthTruncatedTowardZero) {
  VoiceBlockQueue queue;
  queue.reset();
  for (const std::int16_t sample : {std::int16_t{-32768}, std::int16_t{32767}, std::int16_t{9}, std::int16_t{-19}})
    queue.queue_voice_block(block_of(sample), Attenuation::TenthOfAmplitude);
  const auto blocks = queue.snapshot();
  EXPECT_EQ(sample_at(blocks, 5), -3276);
  EXPECT_EQ(sample_at(blocks, 6), 3276);
  EXPECT_EQ(sample_at(blocks, 7), 0);
  EXPECT_EQ(sample_at(blocks, 8, 499), -1);
}

TEST(LevelMeterTest, FullScaleMovesTheNeedleAFifthOfTheWay) {
  LevelMeterState meters;
  const auto loud = block_of(-32768);
  measure_block_levels(std::span<const std::uint8_t>(loud), MeterBars::Keep, meters);
  EXPECT_EQ(meters.LeftNeedleLevel.load(), 6553);
  EXPECT_EQ(meters.LeftNeedleAngle.load(), 238);
  EXPECT_EQ(meters.RightNeedleAngle.load(), 238);
  EXPECT_EQ(meters.LeftBarLevel.load(), 0);  // bars keep their value

  measure_block_levels(std::span<const std::uint8_t>(loud), MeterBars::Update, meters);
  EXPECT_EQ(meters.LeftBarLevel.load(), 16383);

  const auto silence = block_of(0);
  for (int i = 0; i < 60; ++i) measure_block_levels(std::span<const std::uint8_t>(silence), MeterBars::Update, meters);
  EXPECT_EQ(meters.LeftNeedleAngle.load(), 218);
  EXPECT_EQ(meters.LeftBarLevel.load(), 0);
}

TEST(LevelMeterTest, OnlyTheFirstHundredFramesAreMeasured) {
  LevelMeterState meters;
  auto block = block_of(0);
  block[400] = 0xFF;  // frame 100, left: loud but outside the measured frames
  block[401] = 0x7F;
  measure_block_levels(std::span<const std::uint8_t>(block), MeterBars::Update, meters);
  EXPECT_EQ(meters.LeftNeedleLevel.load(), 0);
  block[396] = 0xFF;  // frame 99, left
  block[397] = 0x7F;
  measure_block_levels(std::span<const std::uint8_t>(block), MeterBars::Update, meters);
  EXPECT_EQ(meters.LeftNeedleLevel.load(), 6553);
  EXPECT_EQ(meters.RightNeedleLevel.load(), 0);
}

}  // namespace
}  // namespace marvok
