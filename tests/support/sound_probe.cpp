#include "support/sound_probe.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "state/wave_file.h"

namespace marvok::testing {

namespace {

pa_simple* open_stream(pa_stream_direction_t direction, const std::string& device, int rate, int channels) {
  pa_sample_spec spec{};
  spec.format = PA_SAMPLE_S16LE;
  spec.rate = static_cast<std::uint32_t>(rate);
  spec.channels = static_cast<std::uint8_t>(channels);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  // Half a second of buffer keeps a played tone whole when the machine is busy;
  // a recording is taken in 20 ms parts.
  attr.tlength = static_cast<std::uint32_t>(rate * channels * 2 / 2);
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(rate * channels * 2 / 50);
  int error = 0;
  return pa_simple_new(nullptr, "marvok-tests", direction, device.c_str(), "probe", &spec, nullptr, &attr, &error);
}

}  // namespace

ToneFeeder::ToneFeeder(const std::string& sink, double frequency_hz, double amplitude) {
  pa_simple* stream = open_stream(PA_STREAM_PLAYBACK, sink, 8000, 2);
  ok_ = stream != nullptr;
  if (!stream) return;
  thread_ = std::jthread([stream, frequency_hz, amplitude](std::stop_token stop) {
    std::vector<std::int16_t> chunk(2 * 80);  // 10 ms
    long n = 0;
    int error = 0;
    while (!stop.stop_requested()) {
      for (std::size_t i = 0; i < chunk.size(); i += 2, ++n) {
        chunk[i] = chunk[i + 1] = static_cast<std::int16_t>(
            amplitude * 32767 * std::sin(2 * M_PI * frequency_hz * static_cast<double>(n) / 8000.0));
      }
      if (pa_simple_write(stream, chunk.data(), chunk.size() * 2, &error) < 0) break;
    }
    pa_simple_free(stream);
  });
}

ToneFeeder::~ToneFeeder() = default;

std::vector<std::int16_t> record(const std::string& source, std::chrono::milliseconds duration, int rate) {
  pa_simple* stream = open_stream(PA_STREAM_RECORD, source, rate, 1);
  if (!stream) return {};
  std::vector<std::int16_t> samples(static_cast<std::size_t>(rate * duration.count() / 1000));
  int error = 0;
  if (pa_simple_read(stream, samples.data(), samples.size() * 2, &error) < 0) samples.clear();
  pa_simple_free(stream);
  return samples;
}

double zero_crossing_rate(const std::vector<std::int16_t>& samples, int rate) {
  if (samples.size() < 2) return 0;
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i)
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  return crossings * static_cast<double>(rate) / static_cast<double>(samples.size());
}

std::int16_t peak(const std::vector<std::int16_t>& samples) {
  int loudest = 0;
  for (std::int16_t s : samples) loudest = std::max(loudest, std::abs(static_cast<int>(s)));
  return static_cast<std::int16_t>(std::min(loudest, 32767));
}

}  // namespace marvok::testing

namespace marvok::testing {

void write_tone_wave(const std::string& path, double frequency_hz, std::chrono::milliseconds duration) {
  const auto frames = static_cast<std::uint32_t>(8 * duration.count());
  std::vector<std::uint8_t> file;
  const auto put = [&file](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  const auto tag = [&file](const char* text) { file.insert(file.end(), text, text + 4); };
  tag("RIFF"), put(36 + 2 * frames, 4), tag("WAVE");
  tag("fmt "), put(16, 4), put(1, 2), put(1, 2), put(8000, 4), put(16000, 4), put(2, 2), put(16, 2);
  tag("data"), put(2 * frames, 4);
  for (std::uint32_t n = 0; n < frames; ++n) {
    put(static_cast<std::uint16_t>(static_cast<std::int16_t>(16000 * std::sin(2 * M_PI * frequency_hz * n / 8000.0))),
        2);
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

std::vector<std::int16_t> read_wave_left_channel(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::optional<WaveSound> sound = parse_wave_file(file);
  if (!sound || sound->bits_per_sample != 16 || sound->channels == 0) return {};
  std::vector<std::int16_t> left;
  const std::size_t frame_bytes = 2u * sound->channels;
  for (std::size_t at = 0; at + frame_bytes <= sound->samples.size(); at += frame_bytes)
    left.push_back(static_cast<std::int16_t>(sound->samples[at] | (sound->samples[at + 1] << 8)));
  return left;
}

}  // namespace marvok::testing
