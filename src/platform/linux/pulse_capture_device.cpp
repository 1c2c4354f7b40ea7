// The microphone over the sound server: a record stream that copies what it
// hears into the caller's buffers.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio_devices.h"
#include "platform/linux/pulse_connection.h"

namespace marvok::platform {

namespace {

constexpr int kCaptureSlots = 3;

// The name of the `device`-th input in the server's order, leaving out the
// monitors of outputs, which are no microphones. Call with the lock held.
std::optional<std::string> find_source(PulseConnection& connection, int device, int& error_code) {
  std::vector<std::string> names;
  const PulseOperation listing(pa_context_get_source_info_list(
      connection.context(),
      [](pa_context*, const pa_source_info* info, int end_of_list, void* userdata) {
        if (end_of_list || !info || info->monitor_of_sink != PA_INVALID_INDEX) return;
        static_cast<std::vector<std::string>*>(userdata)->emplace_back(info->name);
      },
      &names));
  if (!connection.finish(listing, kPulseOpenTimeout)) {
    // On a connection that still stands, only a server too slow to answer fails a listing.
    error_code = connection.connected() ? PA_ERR_TIMEOUT : connection.error_code();
    return std::nullopt;
  }
  if (static_cast<std::size_t>(device) >= names.size()) {
    error_code = PA_ERR_NOENTITY;
    return std::nullopt;
  }
  return names[static_cast<std::size_t>(device)];
}

class PulseCaptureDevice final : public CaptureDevice {
 public:
  explicit PulseCaptureDevice(std::unique_ptr<PulseConnection> connection) : connection_(std::move(connection)) {}

  // The event thread goes first, so that no callback touches the caller's
  // buffers or this object while it is taken apart.
  ~PulseCaptureDevice() override { connection_->stop(); }

  PulseCaptureDevice(const PulseCaptureDevice&) = delete;
  PulseCaptureDevice& operator=(const PulseCaptureDevice&) = delete;

  // Connects a corked stream to `source` (nullptr for the default input).
  bool connect(const char* source, int& error_code) {
    const PulseConnection::Lock lock(*connection_);
    stream_ = new_pulse_stream(*connection_, "Microphone", kPulseVoiceFormat);
    if (!stream_) {
      error_code = connection_->error_code();
      return false;
    }
    pa_stream_set_read_callback(stream_->get(), &PulseCaptureDevice::on_readable, this);
    // Without an explicit fragment size the server hands over about two
    // seconds at a time; one buffer per fragment keeps the blocks steady.
    const pa_buffer_attr buffering = capture_buffering(static_cast<std::uint32_t>(kCaptureBufferBytes));
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(stream_->get(), source, &buffering, flags) < 0) {
      error_code = connection_->error_code();
      return false;
    }
    return wait_until_ready(*connection_, *stream_, error_code);
  }

  ServerReach server_reach_after(int error_code) const { return server_reach(connection_.get(), error_code); }

  void add_buffer(int slot, std::span<std::uint8_t, kCaptureBufferBytes> area) override {
    if (!valid(slot)) return;
    const PulseConnection::Lock lock(*connection_);
    unqueue(slot);
    Slot& queued = slots_[static_cast<std::size_t>(slot)];
    queued.area = area.data();
    queued.filled = 0;
    queued.done.store(false, std::memory_order_relaxed);
    order_[queued_count_++] = slot;
  }

  bool is_done(int slot) const override {
    return valid(slot) && slots_[static_cast<std::size_t>(slot)].done.load(std::memory_order_acquire);
  }

  void start() override {
    const PulseConnection::Lock lock(*connection_);
    if (!stream_->ready()) return;
    wanted_ = true;
    const PulseOperation uncorking(pa_stream_cork(stream_->get(), 0, &PulseCaptureDevice::on_uncorked, this));
    if (uncorking) ++pending_starts_;
  }

  void stop_and_reset() override {
    const PulseConnection::Lock lock(*connection_);
    wanted_ = false;
    recording_ = false;
    if (stream_->ready()) {
      // The server drops what it holds; what is already on the way is
      // dropped here, as recording is off.
      const PulseOperation corking(pa_stream_cork(stream_->get(), 1, nullptr, nullptr));
      const PulseOperation flushing(pa_stream_flush(stream_->get(), nullptr, nullptr));
    }
    for (Slot& slot : slots_) {
      slot.area = nullptr;
      slot.filled = 0;
      slot.done.store(false, std::memory_order_relaxed);
    }
    queued_count_ = 0;
  }

 private:
  struct Slot {
    std::uint8_t* area = nullptr;
    std::size_t filled = 0;
    std::atomic<bool> done = false;
  };

  static bool valid(int slot) { return slot >= 0 && slot < kCaptureSlots; }

  // The server answers a start after sending all it recorded before it, so
  // sound is only taken once every start in flight has been answered.
  static void on_uncorked(pa_stream*, int, void* userdata) {
    auto* self = static_cast<PulseCaptureDevice*>(userdata);
    if (--self->pending_starts_ == 0 && self->wanted_) self->recording_ = true;
  }

  static void on_readable(pa_stream* stream, std::size_t, void* userdata) {
    auto* self = static_cast<PulseCaptureDevice*>(userdata);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
      if (self->recording_) self->take(static_cast<const std::uint8_t*>(data), bytes);
      pa_stream_drop(stream);
    }
  }

  // Fills the queued buffers in order; a gap in the recording (no data)
  // becomes silence, and sound with no buffer to go to is lost.
  void take(const std::uint8_t* data, std::size_t bytes) {
    while (bytes > 0 && queued_count_ > 0) {
      Slot& slot = slots_[static_cast<std::size_t>(order_[0])];
      const std::size_t count = std::min(bytes, kCaptureBufferBytes - slot.filled);
      if (data) {
        std::memcpy(slot.area + slot.filled, data, count);
        data += count;
      } else {
        std::memset(slot.area + slot.filled, 0, count);
      }
      slot.filled += count;
      bytes -= count;
      if (slot.filled == kCaptureBufferBytes) {
        slot.done.store(true, std::memory_order_release);
        unqueue(order_[0]);
      }
    }
  }

  void unqueue(int slot) {
    const auto end = order_.begin() + static_cast<std::ptrdiff_t>(queued_count_);
    const auto found = std::find(order_.begin(), end, slot);
    if (found == end) return;
    std::copy(found + 1, end, found);
    --queued_count_;
  }

  std::unique_ptr<PulseConnection> connection_;
  std::unique_ptr<PulseStream> stream_;
  // The rest is guarded by the connection's lock, but for the done marks,
  // which the caller polls without it.
  std::array<Slot, kCaptureSlots> slots_;
  std::array<int, kCaptureSlots> order_{};
  std::size_t queued_count_ = 0;
  int pending_starts_ = 0;
  bool wanted_ = false;
  bool recording_ = false;
};

}  // namespace

std::unique_ptr<CaptureDevice> open_capture_device(int device, DeviceError& error) {
  int code = PA_ERR_UNKNOWN;
  std::unique_ptr<PulseConnection> connection = PulseConnection::open(code);
  if (!connection) {
    error = {code, ServerReach::Unreachable};
    return nullptr;
  }
  std::optional<std::string> source;
  if (device >= 0) {
    {
      const PulseConnection::Lock lock(*connection);
      source = find_source(*connection, device, code);
    }
    if (!source) {
      error = {code, server_reach(connection.get(), code)};
      return nullptr;
    }
  }
  auto capture = std::make_unique<PulseCaptureDevice>(std::move(connection));
  if (!capture->connect(source ? source->c_str() : nullptr, code)) {
    error = {code, capture->server_reach_after(code)};
    return nullptr;
  }
  return capture;
}

}  // namespace marvok::platform
