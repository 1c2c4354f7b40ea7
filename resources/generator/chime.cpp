#include "chime.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kDurationSeconds = 1.4;
constexpr double kAttackSeconds = 0.006;
constexpr double kFadeOutSeconds = 0.25;
constexpr double kPeakLevel = 0.5;  // This is -6 dBFS.

struct BellNote {
  double frequency_hz;
  double start_seconds;
  double pan;  // 0 is full left and 1 is full right.
};

struct Partial {
  double ratio;
  double amplitude;
  double decay_per_second;
};

constexpr BellNote kNotes[] = {
    {659.25, 0.00, 0.35},   // E5
    {783.99, 0.16, 0.50},   // G5
    {1046.50, 0.32, 0.65},  // C6
};

// Higher partials die out faster, which is what makes it sound like a bell.
constexpr Partial kPartials[] = {
    {1.0, 1.00, 3.0},
    {2.0, 0.45, 5.0},
    {3.0, 0.22, 7.5},
    {4.0, 0.10, 11.0},
};

double bell_sample(const BellNote& note, double time_seconds) {
  const double local = time_seconds - note.start_seconds;
  if (local < 0) return 0;
  const double attack = local < kAttackSeconds ? 0.5 - 0.5 * std::cos(std::numbers::pi * local / kAttackSeconds) : 1.0;
  double sum = 0;
  for (const Partial& partial : kPartials) {
    sum += partial.amplitude * std::exp(-partial.decay_per_second * local) *
           std::sin(2 * std::numbers::pi * note.frequency_hz * partial.ratio * local);
  }
  return attack * sum;
}

double fade_out(double time_seconds) {
  const double remaining = kDurationSeconds - time_seconds;
  return remaining >= kFadeOutSeconds ? 1.0 : std::max(0.0, remaining / kFadeOutSeconds);
}

void remove_dc_and_normalize(std::vector<double>& samples) {
  // Every channel holds one sample per frame, so the frame count is a whole number.
  const size_t frame_count = samples.size() / kChimeChannels;
  for (int channel = 0; channel < kChimeChannels; ++channel) {
    double mean = 0;
    for (size_t i = channel; i < samples.size(); i += kChimeChannels) mean += samples[i];
    mean /= static_cast<double>(frame_count);
    for (size_t i = channel; i < samples.size(); i += kChimeChannels) samples[i] -= mean;
  }
  double peak = 0;
  for (double sample : samples) peak = std::max(peak, std::abs(sample));
  for (double& sample : samples) sample *= kPeakLevel / peak;
}

}  // namespace

std::vector<int16_t> synthesize_startup_chime() {
  const int frame_count = int(kDurationSeconds * kChimeSampleRate);
  std::vector<double> mixed(size_t(frame_count) * kChimeChannels, 0.0);
  for (int i = 0; i < frame_count; ++i) {
    const double time_seconds = double(i) / kChimeSampleRate;
    for (const BellNote& note : kNotes) {
      const double sample = bell_sample(note, time_seconds) * fade_out(time_seconds);
      mixed[size_t(i) * 2] += sample * std::sqrt(1 - note.pan);
      mixed[size_t(i) * 2 + 1] += sample * std::sqrt(note.pan);
    }
  }
  remove_dc_and_normalize(mixed);
  std::vector<int16_t> pcm(mixed.size());
  std::transform(mixed.begin(), mixed.end(), pcm.begin(),
                 [](double sample) { return int16_t(std::lround(sample * 32767.0)); });
  return pcm;
}
