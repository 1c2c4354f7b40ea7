#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace marvok::testing {

// Plays a continuous stereo sine into a sink of the test sound server (the
// microphone is the monitor of the "mic" sink) until destroyed.
class ToneFeeder {
 public:
  ToneFeeder(const std::string& sink, double frequency_hz, double amplitude = 0.5);
  ~ToneFeeder();
  bool running() const { return ok_; }

 private:
  bool ok_ = false;
  std::jthread thread_;
};

// Records `duration` of mono 16-bit audio at `rate` from a source, such as
// "spk.monitor" for what the client plays.
std::vector<std::int16_t> record(const std::string& source, std::chrono::milliseconds duration, int rate = 8000);

// Crossings of zero per second: twice the frequency of a clean tone.
double zero_crossing_rate(const std::vector<std::int16_t>& samples, int rate);
std::int16_t peak(const std::vector<std::int16_t>& samples);

// A mono 16-bit wave file at 8000 frames per second holding a sine.
void write_tone_wave(const std::string& path, double frequency_hz, std::chrono::milliseconds duration);
// The first channel of a 16-bit wave file; empty when it cannot be read.
std::vector<std::int16_t> read_wave_left_channel(const std::string& path);

}  // namespace marvok::testing
