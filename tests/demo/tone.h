#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

// Sine tones and what a test measures of them.
namespace marvok::demo::testing {

inline std::vector<std::int16_t> sine(double frequency, int rate, double amplitude, std::size_t count) {
  std::vector<std::int16_t> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<std::int16_t>(
        std::lround(amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate)));
  }
  return samples;
}

inline double rms(std::span<const std::int16_t> samples) {
  double sum = 0.0;
  for (const std::int16_t sample : samples) sum += static_cast<double>(sample) * sample;
  return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

// From the rising zero crossings: whole periods over the time they take. 0 without two crossings.
inline double crossing_frequency(std::span<const std::int16_t> samples, int rate) {
  std::size_t first = 0, last = 0, crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] >= 0 || samples[i] < 0) continue;
    if (crossings++ == 0) first = i;
    last = i;
  }
  return crossings < 2 ? 0.0 : static_cast<double>(crossings - 1) * rate / static_cast<double>(last - first);
}

}  // namespace marvok::demo::testing
