#include "speech_player.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cstdio>

namespace marvok::talksrv {

namespace {

constexpr int kLatencyMs = 100;

}  // namespace

void SpeechPlayer::Close::operator()(pa_simple* stream) const { pa_simple_free(stream); }

SpeechPlayer::SpeechPlayer() = default;
SpeechPlayer::~SpeechPlayer() = default;

bool SpeechPlayer::prepare(int frames_per_second) {
  // A stream the server dropped while nothing was spoken would lose the first
  // text after a restart: asking its latency finds it dead without playing.
  int error = 0;
  if (stream_ && frames_per_second == frames_per_second_ &&
      pa_simple_get_latency(stream_.get(), &error) != static_cast<pa_usec_t>(-1))
    return true;
  stream_.reset();
  const pa_sample_spec format{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(frames_per_second), 1};
  const auto latency_bytes = static_cast<std::uint32_t>(frames_per_second * kLatencyMs / 1000 * 2);
  // Without explicit attributes the server queues about two seconds, which
  // an interruption would have to wait out. Playing starts after a quarter
  // of that, so the end of a short text is not held back waiting for more.
  const pa_buffer_attr attributes{static_cast<std::uint32_t>(-1), latency_bytes, latency_bytes / 4, latency_bytes / 4,
                                  static_cast<std::uint32_t>(-1)};
  stream_.reset(pa_simple_new(nullptr, "talksrv", PA_STREAM_PLAYBACK, nullptr, "synthèse vocale", &format, nullptr,
                              &attributes, &error));
  if (!stream_) {
    if (!told_missing_)
      std::fprintf(stderr, "talksrv: no sound server (%s): texts are not heard until it is back\n", pa_strerror(error));
    told_missing_ = true;
    return false;
  }
  if (told_missing_) std::fputs("talksrv: sound server found: texts are heard again\n", stderr);
  told_missing_ = false;
  frames_per_second_ = frames_per_second;
  return true;
}

bool SpeechPlayer::play(std::span<const std::int16_t> samples) {
  if (!stream_) return false;
  int error = 0;
  if (pa_simple_write(stream_.get(), samples.data(), samples.size_bytes(), &error) == 0) return true;
  std::fprintf(stderr, "talksrv: the sound server stopped playing (%s)\n", pa_strerror(error));
  stream_.reset();
  return false;
}

void SpeechPlayer::drop_queued() {
  if (stream_) pa_simple_flush(stream_.get(), nullptr);
}

}  // namespace marvok::talksrv
