// Voice playback over the sound server: a playback stream that reports each
// buffer once the server has played past its end.
#include <algorithm>
#include <cstdint>

#include "platform/audio_devices.h"
#include "platform/linux/pulse_connection.h"

namespace marvok::platform {

namespace {

// How often the play position is asked for while buffers are playing: a
// small part of a buffer's 125 ms.
constexpr pa_usec_t kPositionPeriod = 10 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kShortestWait = 2 * PA_USEC_PER_MSEC;

class PulseOutputDevice final : public OutputDevice {
 public:
  PulseOutputDevice(std::unique_ptr<PulseConnection> connection, std::function<void()> on_buffer_done)
      : connection_(std::move(connection)), on_buffer_done_(std::move(on_buffer_done)) {}

  // The event thread goes first, so that the completion callback never runs
  // once the device is being destroyed. Closing the connection ends the
  // stream on the server at once, with whatever was still queued.
  ~PulseOutputDevice() override { connection_->stop(); }

  PulseOutputDevice(const PulseOutputDevice&) = delete;
  PulseOutputDevice& operator=(const PulseOutputDevice&) = delete;

  bool connect(int& error_code) {
    const PulseConnection::Lock lock(*connection_);
    stream_ = new_pulse_stream(*connection_, "Voice", kPulseVoiceFormat);
    if (!stream_) {
      error_code = connection_->error_code();
      return false;
    }
    // Two buffers in the server at most; playing starts with the first whole
    // buffer and, after running dry, waits for the next whole one, so the
    // play position never runs ahead of what was written.
    const auto buffer_bytes = static_cast<std::uint32_t>(kOutputBufferBytes);
    const pa_buffer_attr buffering = playback_buffering(2 * buffer_bytes, buffer_bytes, buffer_bytes);
    if (pa_stream_connect_playback(stream_->get(), nullptr, &buffering, PA_STREAM_NOFLAGS, nullptr, nullptr) < 0) {
      error_code = connection_->error_code();
      return false;
    }
    if (!wait_until_ready(*connection_, *stream_, error_code)) return false;
    poll_timer_ = connection_->new_timer(&PulseOutputDevice::on_poll_time, this);
    if (!poll_timer_) {
      error_code = PA_ERR_INTERNAL;
      return false;
    }
    return true;
  }

  ServerReach server_reach_after(int error_code) const { return server_reach(connection_.get(), error_code); }

  bool write(std::span<const std::uint8_t, kOutputBufferBytes> buffer) override {
    const PulseConnection::Lock lock(*connection_);
    if (!stream_->ready()) return false;
    if (pa_stream_write(stream_->get(), buffer.data(), buffer.size(), nullptr, 0, PA_SEEK_RELATIVE) < 0) return false;
    ++written_;
    if (!polling_) poll_soon();
    return true;
  }

 private:
  void poll_soon(pa_usec_t after = kPositionPeriod) {
    polling_ = true;
    pa_context_rttime_restart(connection_->context(), poll_timer_.get(), pa_rtclock_now() + after);
  }

  // When the next buffer should be done, from how much of it is left to play:
  // asking only then keeps the position questions to one or two per buffer.
  static pa_usec_t until_next_done(std::uint64_t played, std::uint64_t next_end) {
    constexpr std::uint64_t kBytesPerSecond = 4ull * kVoiceFramesPerSecond;
    const std::uint64_t left = next_end > played ? next_end - played : 0;
    return std::max<pa_usec_t>(left * PA_USEC_PER_SEC / kBytesPerSecond, kShortestWait) + kShortestWait;
  }

  static void on_poll_time(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
    auto* self = static_cast<PulseOutputDevice*>(userdata);
    if (!self->stream_->ready()) {
      // A stream that has failed plays nothing more: its buffers stay unfinished.
      self->polling_ = false;
      return;
    }
    const PulseOperation asking(
        pa_stream_update_timing_info(self->stream_->get(), &PulseOutputDevice::on_position, userdata));
    if (!asking) self->polling_ = false;
  }

  // Reports every buffer that the server's read position has passed. The
  // next question waits for this answer, so that they never pile up.
  static void on_position(pa_stream* stream, int success, void* userdata) {
    auto* self = static_cast<PulseOutputDevice*>(userdata);
    const pa_timing_info* timing = success ? pa_stream_get_timing_info(stream) : nullptr;
    if (timing && !timing->read_index_corrupt && timing->read_index > 0) {
      const auto played = static_cast<std::uint64_t>(timing->read_index);
      while (self->done_ < self->written_ && played >= (self->done_ + 1) * kOutputBufferBytes) {
        ++self->done_;
        if (self->on_buffer_done_) self->on_buffer_done_();
      }
    }
    if (self->done_ < self->written_ && self->stream_->ready()) {
      const std::uint64_t played = timing && !timing->read_index_corrupt && timing->read_index > 0
                                       ? static_cast<std::uint64_t>(timing->read_index)
                                       : 0;
      self->poll_soon(until_next_done(played, (self->done_ + 1) * kOutputBufferBytes));
    } else {
      self->polling_ = false;
    }
  }

  std::unique_ptr<PulseConnection> connection_;
  std::function<void()> on_buffer_done_;
  std::unique_ptr<PulseStream> stream_;
  PulseTimer poll_timer_{nullptr, PulseTimerDeleter{nullptr}};
  // Guarded by the connection's lock.
  std::uint64_t written_ = 0;
  std::uint64_t done_ = 0;
  bool polling_ = false;
};

}  // namespace

std::unique_ptr<OutputDevice> open_output_device(std::function<void()> on_buffer_done, DeviceError& error) {
  int code = PA_ERR_UNKNOWN;
  std::unique_ptr<PulseConnection> connection = PulseConnection::open(code);
  if (!connection) {
    error = {code, ServerReach::Unreachable};
    return nullptr;
  }
  auto output = std::make_unique<PulseOutputDevice>(std::move(connection), std::move(on_buffer_done));
  if (!output->connect(code)) {
    error = {code, output->server_reach_after(code)};
    return nullptr;
  }
  return output;
}

}  // namespace marvok::platform
