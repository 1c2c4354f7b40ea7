// Float output over the sound server: a playback stream that the caller keeps
// filled, without ever waiting on it.
#include <cstdint>

#include "platform/audio_devices.h"
#include "platform/linux/pulse_connection.h"

namespace marvok::platform {

namespace {

constexpr pa_sample_spec kRenderFormat{PA_SAMPLE_FLOAT32LE, static_cast<std::uint32_t>(kRenderFramesPerSecond),
                                       static_cast<std::uint8_t>(kRenderChannels)};
constexpr std::size_t kRenderFrameBytes = sizeof(float) * kRenderChannels;

class PulseRenderDevice final : public RenderDevice {
 public:
  explicit PulseRenderDevice(std::unique_ptr<PulseConnection> connection) : connection_(std::move(connection)) {}
  ~PulseRenderDevice() override { connection_->stop(); }

  PulseRenderDevice(const PulseRenderDevice&) = delete;
  PulseRenderDevice& operator=(const PulseRenderDevice&) = delete;

  // Connects a corked stream whose server buffer holds about `buffer_ms`.
  bool connect(int buffer_ms) {
    const PulseConnection::Lock lock(*connection_);
    stream_ = new_pulse_stream(*connection_, "Speech", kRenderFormat);
    if (!stream_) return false;
    const pa_usec_t buffer_usec = static_cast<pa_usec_t>(buffer_ms) * PA_USEC_PER_MSEC;
    const std::uint32_t target =
        buffer_ms > 0 ? static_cast<std::uint32_t>(pa_usec_to_bytes(buffer_usec, &kRenderFormat)) : kPulseServerChooses;
    // The worker tops the buffer up every half of it: the server need not ask for data more often.
    const pa_buffer_attr buffering =
        playback_buffering(target, kPulseServerChooses, buffer_ms > 0 ? target / 2 : kPulseServerChooses);
    if (pa_stream_connect_playback(stream_->get(), nullptr, &buffering, PA_STREAM_START_CORKED, nullptr, nullptr) < 0)
      return false;
    int error_code = 0;
    if (!wait_until_ready(*connection_, *stream_, error_code)) return false;
    // The server may round the buffer; the caller fills what it granted.
    const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream_->get());
    if (!granted) return false;
    buffer_frames_ = granted->tlength / kRenderFrameBytes;
    return true;
  }

  int channels() const override { return kRenderChannels; }
  int frames_per_second() const override { return kRenderFramesPerSecond; }
  std::size_t buffer_frames() const override { return buffer_frames_; }

  std::size_t writable_frames() const override {
    const PulseConnection::Lock lock(*connection_);
    if (!stream_->ready()) return 0;
    const std::size_t bytes = pa_stream_writable_size(stream_->get());
    return bytes == static_cast<std::size_t>(-1) ? 0 : bytes / kRenderFrameBytes;
  }

  bool write(std::span<const float> samples) override {
    const PulseConnection::Lock lock(*connection_);
    if (!stream_->ready()) return false;
    // Nothing to write is no failure; libpulse would refuse the empty write.
    if (samples.empty()) return true;
    return pa_stream_write(stream_->get(), samples.data(), samples.size_bytes(), nullptr, 0, PA_SEEK_RELATIVE) == 0;
  }

  bool start() override {
    const PulseConnection::Lock lock(*connection_);
    if (!stream_->ready()) return false;
    const PulseOperation uncorking(pa_stream_cork(stream_->get(), 0, nullptr, nullptr));
    return uncorking != nullptr;
  }

 private:
  std::unique_ptr<PulseConnection> connection_;
  std::unique_ptr<PulseStream> stream_;
  std::size_t buffer_frames_ = 0;
};

}  // namespace

std::unique_ptr<RenderDevice> open_render_device(int buffer_ms) {
  int code = PA_ERR_UNKNOWN;
  std::unique_ptr<PulseConnection> connection = PulseConnection::open(code);
  if (!connection) return nullptr;
  auto render = std::make_unique<PulseRenderDevice>(std::move(connection));
  if (!render->connect(buffer_ms)) return nullptr;
  return render;
}

}  // namespace marvok::platform
