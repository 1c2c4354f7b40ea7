// The probes as streams of the sound server's own.
#include <pulse/simple.h>

#include <array>
#include <chrono>
#include <cmath>
#include <mutex>
#include <numbers>
#include <thread>

#include "support/voice_probes.h"

namespace marvok::testing {

namespace {

constexpr int kProbeRate = 8000;

struct SimpleDeleter {
  void operator()(pa_simple* stream) const { pa_simple_free(stream); }
};
using SimpleStream = std::unique_ptr<pa_simple, SimpleDeleter>;

// A stereo 16-bit stream at 8000 Hz to a sink or from a source; `buffer_bytes`
// is the server's buffer for playing, and recording is taken in short parts.
SimpleStream open_probe(pa_stream_direction_t direction, const char* device, std::uint32_t buffer_bytes) {
  pa_sample_spec format{};
  format.format = PA_SAMPLE_S16LE;
  format.rate = kProbeRate;
  format.channels = 2;
  pa_buffer_attr buffering{};
  buffering.maxlength = static_cast<std::uint32_t>(-1);
  buffering.tlength = buffer_bytes;
  buffering.prebuf = static_cast<std::uint32_t>(-1);
  buffering.minreq = static_cast<std::uint32_t>(-1);
  buffering.fragsize = 400;
  int error = 0;
  return SimpleStream(
      pa_simple_new(nullptr, "Marvok test", direction, device, "Probe", &format, nullptr, &buffering, &error));
}

}  // namespace

// Half a second of buffer in the server keeps the tone whole when the machine is busy.
struct MicrophoneFeed::Player {
  SimpleStream stream = open_probe(PA_STREAM_PLAYBACK, "mic", 16000);
  std::jthread thread;
};

MicrophoneFeed::MicrophoneFeed() : player_(std::make_unique<Player>()) {
  if (!player_->stream) return;
  player_->thread = std::jthread([stream = player_->stream.get()](std::stop_token stop) {
    std::array<std::int16_t, 320> chunk{};
    long frame = 0;
    int error = 0;
    while (!stop.stop_requested()) {
      for (std::size_t i = 0; i < chunk.size(); i += 2, ++frame) {
        const double seconds = static_cast<double>(frame) / kProbeRate;
        const double level = std::min(2000.0 + 6000.0 * seconds, 30000.0);
        const auto sample = static_cast<std::int16_t>(level * std::sin(2 * std::numbers::pi * 1000.0 * seconds));
        chunk[i] = chunk[i + 1] = sample;
      }
      if (pa_simple_write(stream, chunk.data(), sizeof chunk, &error) < 0) return;
    }
  });
  // The tests record from the first block on: the tone must be through.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

MicrophoneFeed::~MicrophoneFeed() = default;

bool MicrophoneFeed::running() const { return player_->stream != nullptr; }

struct SpeakerRecording::Recorder {
  SimpleStream stream = open_probe(PA_STREAM_RECORD, "spk.monitor", static_cast<std::uint32_t>(-1));
  std::mutex mutex;
  std::vector<std::int16_t> samples;
  std::jthread thread;
};

SpeakerRecording::SpeakerRecording() : recorder_(std::make_unique<Recorder>()) {
  if (!recorder_->stream) return;
  recorder_->thread = std::jthread([recorder = recorder_.get()](std::stop_token stop) {
    std::array<std::int16_t, 200> chunk{};
    int error = 0;
    while (!stop.stop_requested()) {
      if (pa_simple_read(recorder->stream.get(), chunk.data(), sizeof chunk, &error) < 0) return;
      const std::lock_guard lock(recorder->mutex);
      for (std::size_t i = 0; i < chunk.size(); i += 2) recorder->samples.push_back(chunk[i]);
    }
  });
}

SpeakerRecording::~SpeakerRecording() { stop(); }

bool SpeakerRecording::running() const { return recorder_->stream != nullptr; }

std::vector<std::int16_t> SpeakerRecording::stop() {
  recorder_->thread.request_stop();
  if (recorder_->thread.joinable()) recorder_->thread.join();
  const std::lock_guard lock(recorder_->mutex);
  return recorder_->samples;
}

}  // namespace marvok::testing
