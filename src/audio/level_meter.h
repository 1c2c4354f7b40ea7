#pragma once

#include <atomic>
#include <cstdint>
#include <span>

namespace marvok {

// Smoothed peaks of the voice heard or spoken, for the needle and bar meters.
struct LevelMeterState {
  std::atomic<std::int16_t> LeftNeedleLevel{0};
  std::atomic<std::int16_t> RightNeedleLevel{0};
  // Degrees, 218 for silence to 319 for full scale; 0 before the first measurement.
  std::atomic<std::int32_t> LeftNeedleAngle{0};
  std::atomic<std::int32_t> RightNeedleAngle{0};
  std::atomic<std::int16_t> LeftBarLevel{0};
  std::atomic<std::int16_t> RightBarLevel{0};
};

enum class MeterBars { Keep, Update };

inline constexpr std::size_t kMeteredFrames = 100;

// Moves the needles (and the bars when asked) towards the peaks of the first
// 100 frames of interleaved stereo 16-bit samples. Fewer frames than that
// measure what there is.
void measure_block_levels(std::span<const std::int16_t> samples, MeterBars bars, LevelMeterState& meters);

// The same, reading little-endian sample bytes as they travel in a voice block.
void measure_block_levels(std::span<const std::uint8_t> block_bytes, MeterBars bars, LevelMeterState& meters);

}  // namespace marvok
