#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace marvok::demo {

// Changes the rate of 16-bit mono sound with a windowed-sinc low-pass, so
// that what the lower rate cannot carry is filtered out instead of folding
// back as noise. The ratio of the rates is exact: one set of filter taps per
// output phase, computed once.
class Resampler {
 public:
  // Both rates positive; `cutoff_hz` below half the lower rate.
  Resampler(int from_rate, int to_rate, double cutoff_hz);

  // The whole sound at the new rate; silence is assumed around it.
  std::vector<std::int16_t> resample(std::span<const std::int16_t> input) const;

 private:
  std::int64_t step_ = 1;    // input samples per `phases_` output samples
  std::int64_t phases_ = 1;  // output samples per `step_` input samples
  std::vector<float> taps_;  // phases_ rows of kTaps
};

}  // namespace marvok::demo
