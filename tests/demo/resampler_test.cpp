#include "resampler.h"

#include <gtest/gtest.h>

#include "tone.h"

namespace marvok::demo {
namespace {

using testing::crossing_frequency;
using testing::rms;
using testing::sine;

constexpr int kSpeechRate = 22050;
constexpr int kVoiceRate = 8000;
constexpr double kAmplitude = 10000.0;

TEST(Resampler, KeepsSpeechFrequenciesAndStopsWhatWouldFoldBack) {
  struct Case {
    double frequency;
    double lowest_gain, highest_gain;
  };
  // Up to 3 kHz the level stays within 2 %; from 4.5 kHz, which 8 kHz sound
  // would fold back under 4 kHz, at least 50 dB down.
  const Case cases[] = {{1000.0, 0.98, 1.02}, {3000.0, 0.98, 1.02}, {4500.0, 0.0, 0.003}, {6000.0, 0.0, 0.003}};
  const Resampler resampler(kSpeechRate, kVoiceRate, 3600.0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frequency);
    const auto output = resampler.resample(sine(c.frequency, kSpeechRate, kAmplitude, kSpeechRate));
    ASSERT_EQ(output.size(), std::size_t{kVoiceRate});
    // Away from the edges, where the filter sees silence on one side.
    const auto middle = std::span(output).subspan(100, output.size() - 200);
    const double gain = rms(middle) / (kAmplitude / std::sqrt(2.0));
    EXPECT_GE(gain, c.lowest_gain);
    EXPECT_LE(gain, c.highest_gain);
    if (c.lowest_gain > 0.0) {
      EXPECT_NEAR(crossing_frequency(middle, kVoiceRate), c.frequency, 1.0);
    }
  }
}

TEST(Resampler, ShortAndEmptySoundsGiveTheirShareOfSamples) {
  const Resampler resampler(kSpeechRate, kVoiceRate, 3600.0);
  EXPECT_TRUE(resampler.resample({}).empty());
  const std::vector<std::int16_t> three = {32767, -32768, 32767};
  EXPECT_EQ(resampler.resample(three).size(), 2u);  // ceil(3 * 8000 / 22050)
}

}  // namespace
}  // namespace marvok::demo
