#include "resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace marvok::demo {

namespace {

// Input samples on each side of an output sample. At 22050 Hz this gives a
// transition band under 1 kHz wide, so a 3.6 kHz cut-off is well closed
// before 4 kHz, the highest frequency 8 kHz sound can hold.
constexpr int kHalfWidth = 64;
constexpr int kTaps = 2 * kHalfWidth;

double sinc(double x) { return x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x); }

// Blackman: its side lobes stay under -58 dB, far below what 16 bits keep audible.
double blackman(double d) {
  const double x = std::numbers::pi * d / kHalfWidth;
  return 0.42 + 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x);
}

}  // namespace

Resampler::Resampler(int from_rate, int to_rate, double cutoff_hz) {
  const int divisor = std::gcd(from_rate, to_rate);
  step_ = from_rate / divisor;
  phases_ = to_rate / divisor;
  const double cutoff = cutoff_hz / from_rate;  // in cycles per input sample
  taps_.resize(static_cast<std::size_t>(phases_ * kTaps));
  for (std::int64_t phase = 0; phase < phases_; ++phase) {
    const auto row = taps_.begin() + phase * kTaps;
    const double fraction = static_cast<double>(phase) / static_cast<double>(phases_);
    double sum = 0.0;
    for (int j = 0; j < kTaps; ++j) {
      // Tap j weighs input sample (i - kHalfWidth + 1 + j) for an output at i + fraction.
      const double d = j - kHalfWidth + 1 - fraction;
      const double tap = 2.0 * cutoff * sinc(2.0 * cutoff * d) * blackman(d);
      row[j] = static_cast<float>(tap);
      sum += tap;
    }
    // Each phase passes a constant unchanged, so the level does not ripple at the phase rate.
    for (int j = 0; j < kTaps; ++j) row[j] = static_cast<float>(row[j] / sum);
  }
}

std::vector<std::int16_t> Resampler::resample(std::span<const std::int16_t> input) const {
  const auto length = static_cast<std::int64_t>(input.size());
  const std::int64_t count = (length * phases_ + step_ - 1) / step_;
  std::vector<std::int16_t> output(static_cast<std::size_t>(count));
  for (std::int64_t n = 0; n < count; ++n) {
    const std::int64_t position = n * step_;
    const std::int64_t first = position / phases_ - kHalfWidth + 1;
    const auto row = taps_.begin() + (position % phases_) * kTaps;
    double sum = 0.0;
    // Only the taps over samples that exist: silence around the sound adds nothing.
    const std::int64_t from = std::max<std::int64_t>(0, -first);
    const std::int64_t to = std::min<std::int64_t>(kTaps, length - first);
    for (std::int64_t j = from; j < to; ++j) sum += row[j] * input[static_cast<std::size_t>(first + j)];
    output[static_cast<std::size_t>(n)] = static_cast<std::int16_t>(std::clamp(std::lround(sum), -32768L, 32767L));
  }
  return output;
}

}  // namespace marvok::demo
