#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/audio_devices.h"

namespace marvok::platform {

// The voice format as the sound server names it.
inline constexpr pa_sample_spec kPulseVoiceFormat{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(kVoiceFramesPerSecond),
                                                  static_cast<std::uint8_t>(kVoiceChannels)};

// How long opening a device may take before it counts as failed.
inline constexpr std::chrono::milliseconds kPulseOpenTimeout{3000};

// Owners of the handles that callbacks are tied to: an operation in flight
// (released, it still runs to its end) and a timer.
struct PulseOperationDeleter {
  void operator()(pa_operation* operation) const { pa_operation_unref(operation); }
};
using PulseOperation = std::unique_ptr<pa_operation, PulseOperationDeleter>;

struct PulseTimerDeleter {
  pa_mainloop_api* api;
  void operator()(pa_time_event* event) const { api->time_free(event); }
};
using PulseTimer = std::unique_ptr<pa_time_event, PulseTimerDeleter>;

// One connection to the sound server with an event thread of its own. Every
// callback of the context and its streams runs on that thread with the
// connection's lock held; other threads take the lock around libpulse calls.
class PulseConnection {
 public:
  // Holds the lock for a scope. Once the event thread has stopped there is
  // nothing to exclude, so the lock is then a no-op.
  class Lock {
   public:
    explicit Lock(const PulseConnection& connection);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  // Connects without starting a server; nothing, with a nonzero error code,
  // when the server cannot be reached within `timeout`.
  static std::unique_ptr<PulseConnection> open(int& error_code, std::chrono::milliseconds timeout = kPulseOpenTimeout);
  ~PulseConnection();
  PulseConnection(const PulseConnection&) = delete;
  PulseConnection& operator=(const PulseConnection&) = delete;

  pa_context* context() const { return context_.get(); }
  // False once the server has gone away or dropped the connection.
  bool connected() const { return pa_context_get_state(context_.get()) == PA_CONTEXT_READY; }
  pa_threaded_mainloop* loop() const { return loop_.get(); }

  // With the lock held, waits until `done` holds or the time-out passes.
  // Changes of state of the context, its streams and finished operations
  // wake the waiter; `done` must depend on nothing else.
  bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // With the lock held, waits for `operation` to end; false unless it did.
  bool finish(const PulseOperation& operation, std::chrono::milliseconds timeout);
  // A timer on the event thread, not yet set; set it with pa_context_rttime_restart().
  PulseTimer new_timer(pa_time_event_cb_t on_time, void* userdata);

  // The context's last error, never 0.
  int error_code() const;

  // Ends the event thread, without the lock held: no callback runs after this.
  void stop();

 private:
  struct LoopDeleter {
    void operator()(pa_threaded_mainloop* loop) const { pa_threaded_mainloop_free(loop); }
  };
  struct ContextDeleter {
    void operator()(pa_context* context) const;
  };

  PulseConnection() = default;

  std::unique_ptr<pa_threaded_mainloop, LoopDeleter> loop_;
  std::unique_ptr<pa_context, ContextDeleter> context_;
  bool running_ = false;
};

// Owns a stream of a connection, which must outlive it. Destroying it drops
// the stream's callbacks, then disconnects and releases the stream.
class PulseStream {
 public:
  PulseStream(const PulseConnection& connection, pa_stream* stream) : connection_(&connection), stream_(stream) {}
  ~PulseStream();
  PulseStream(const PulseStream&) = delete;
  PulseStream& operator=(const PulseStream&) = delete;

  pa_stream* get() const { return stream_; }
  bool ready() const { return stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY; }

 private:
  const PulseConnection* connection_;
  pa_stream* stream_;
};

// Creates a stream on the connection that wakes its waiters on every change
// of state; nothing when the format is refused. Call with the lock held.
std::unique_ptr<PulseStream> new_pulse_stream(PulseConnection& connection, const char* name,
                                              const pa_sample_spec& format);

// With the lock held, waits for a stream that is connecting to become ready;
// false, with a nonzero error code, when it fails or takes too long.
bool wait_until_ready(PulseConnection& connection, const PulseStream& stream, int& error_code);

// Why a device failed to open with `error_code` on `connection` (null when
// not even the connection opened): a server that is gone or does not answer
// in time is out of reach, anything else refused the device. Call without
// the lock held.
ServerReach server_reach(const PulseConnection* connection, int error_code);

// In a stream's buffering, the value that leaves a field to the server.
inline constexpr std::uint32_t kPulseServerChooses = static_cast<std::uint32_t>(-1);

// Buffering for playback: `target_bytes` held in the server, playing starting
// at `prebuf` bytes and more asked for once `minreq` bytes fit.
pa_buffer_attr playback_buffering(std::uint32_t target_bytes, std::uint32_t prebuf = kPulseServerChooses,
                                  std::uint32_t minreq = kPulseServerChooses);
// Buffering for recording: captured sound handed over `fragment_bytes` at a time.
pa_buffer_attr capture_buffering(std::uint32_t fragment_bytes);

}  // namespace marvok::platform
