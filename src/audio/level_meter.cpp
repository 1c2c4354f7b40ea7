#include "audio/level_meter.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "state/little_endian.h"

namespace marvok {

namespace {

int magnitude(std::int16_t sample) { return sample == -32768 ? 32767 : std::abs(static_cast<int>(sample)); }

// A fifth of the way (needles) or half of the way (bars) to the new peak, in
// single precision and truncated toward zero.
std::int16_t smoothed(int peak, std::int16_t level, float share) {
  return static_cast<std::int16_t>(static_cast<float>(peak) * share + static_cast<float>(level) * (1.0f - share));
}

std::int32_t needle_angle(std::int16_t level) {
  return 218 - static_cast<std::int32_t>(static_cast<double>(level) * (-1.0 / 32768.0) * 102.0);
}

}  // namespace

void measure_block_levels(std::span<const std::int16_t> samples, MeterBars bars, LevelMeterState& meters) {
  int left_peak = 0, right_peak = 0;
  const std::size_t frames = std::min(samples.size() / 2, kMeteredFrames);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    left_peak = std::max(left_peak, magnitude(samples[2 * frame]));
    right_peak = std::max(right_peak, magnitude(samples[2 * frame + 1]));
  }
  const std::int16_t left = smoothed(left_peak, meters.LeftNeedleLevel.load(std::memory_order_relaxed), 0.2f);
  const std::int16_t right = smoothed(right_peak, meters.RightNeedleLevel.load(std::memory_order_relaxed), 0.2f);
  meters.LeftNeedleLevel.store(left, std::memory_order_relaxed);
  meters.RightNeedleLevel.store(right, std::memory_order_relaxed);
  meters.LeftNeedleAngle.store(needle_angle(left), std::memory_order_relaxed);
  meters.RightNeedleAngle.store(needle_angle(right), std::memory_order_relaxed);
  if (bars == MeterBars::Update) {
    meters.LeftBarLevel.store(smoothed(left_peak, meters.LeftBarLevel.load(std::memory_order_relaxed), 0.5f),
                              std::memory_order_relaxed);
    meters.RightBarLevel.store(smoothed(right_peak, meters.RightBarLevel.load(std::memory_order_relaxed), 0.5f),
                               std::memory_order_relaxed);
  }
}

void measure_block_levels(std::span<const std::uint8_t> block_bytes, MeterBars bars, LevelMeterState& meters) {
  std::array<std::int16_t, 2 * kMeteredFrames> samples{};
  const std::size_t count = std::min(samples.size(), block_bytes.size() / 2);
  for (std::size_t i = 0; i < count; ++i) samples[i] = read_i16_le(block_bytes, 2 * i);
  measure_block_levels(std::span<const std::int16_t>(samples.data(), count), bars, meters);
}

}  // namespace marvok
