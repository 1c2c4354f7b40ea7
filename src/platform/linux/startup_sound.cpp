#include "platform/startup_sound.h"

#include <pulse/error.h>
#include <pulse/sample.h>
#include <pulse/simple.h>
#include <pulse/timeval.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "platform/linux/pulse_connection.h"
#include "state/wave_file.h"

namespace marvok::platform {

namespace {

struct SimpleStreamDeleter {
  void operator()(pa_simple* stream) const { pa_simple_free(stream); }
};
using SimpleStream = std::unique_ptr<pa_simple, SimpleStreamDeleter>;

constexpr std::size_t kMaxSoundFileBytes = 8u << 20;

SimpleStream open_playback(const WaveSound& sound) {
  pa_sample_spec spec{};
  spec.format = sound.bits_per_sample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
  spec.rate = sound.frames_per_second;
  spec.channels = static_cast<std::uint8_t>(sound.channels);
  if (!pa_sample_spec_valid(&spec)) return nullptr;
  // A short server buffer paces the writes, so stopping takes effect at once.
  const pa_buffer_attr buffer =
      playback_buffering(static_cast<std::uint32_t>(pa_usec_to_bytes(100 * PA_USEC_PER_MSEC, &spec)));
  int error = 0;
  return SimpleStream(
      pa_simple_new(nullptr, "Marvok", PA_STREAM_PLAYBACK, nullptr, "Démarrage", &spec, nullptr, &buffer, &error));
}

}  // namespace

struct StartupSound::Playing {
  std::vector<std::uint8_t> file;
  std::jthread player;
};

StartupSound::StartupSound() : playing_(std::make_unique<Playing>()) {}

StartupSound::~StartupSound() { stop(); }

bool StartupSound::play_async(const std::string& path) {
  stop();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<std::uint8_t>& file = playing_->file;
  file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (file.size() > kMaxSoundFileBytes) return false;
  const std::optional<WaveSound> sound = parse_wave_file(file);
  if (!sound) return false;
  SimpleStream stream = open_playback(*sound);
  if (!stream) return false;

  playing_->player = std::jthread([stream = std::move(stream), samples = sound->samples,
                                   chunk = std::size_t{sound->frames_per_second / 20} * sound->channels *
                                           (sound->bits_per_sample / 8)](std::stop_token stop) {
    int error = 0;
    for (std::size_t at = 0; at < samples.size(); at += chunk) {
      if (stop.stop_requested()) {
        pa_simple_flush(stream.get(), &error);
        return;
      }
      const std::size_t length = std::min(chunk, samples.size() - at);
      if (pa_simple_write(stream.get(), samples.data() + at, length, &error) < 0) return;
    }
    if (!stop.stop_requested()) pa_simple_drain(stream.get(), &error);
  });
  return true;
}

void StartupSound::stop() {
  if (playing_->player.joinable()) {
    playing_->player.request_stop();
    playing_->player.join();
  }
}

}  // namespace marvok::platform
