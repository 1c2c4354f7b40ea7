#include "platform/linux/pulse_connection.h"

namespace marvok::platform {

namespace {

void wake_waiters(pa_threaded_mainloop* loop) { pa_threaded_mainloop_signal(loop, 0); }

}  // namespace

PulseConnection::Lock::Lock(const PulseConnection& connection)
    : loop_(connection.running_ ? connection.loop_.get() : nullptr) {
  if (loop_) pa_threaded_mainloop_lock(loop_);
}

PulseConnection::Lock::~Lock() {
  if (loop_) pa_threaded_mainloop_unlock(loop_);
}

void PulseConnection::ContextDeleter::operator()(pa_context* context) const {
  pa_context_set_state_callback(context, nullptr, nullptr);
  pa_context_disconnect(context);
  pa_context_unref(context);
}

std::unique_ptr<PulseConnection> PulseConnection::open(int& error_code, std::chrono::milliseconds timeout) {
  std::unique_ptr<PulseConnection> connection(new PulseConnection());
  connection->loop_.reset(pa_threaded_mainloop_new());
  if (!connection->loop_) {
    error_code = PA_ERR_INTERNAL;
    return nullptr;
  }
  pa_threaded_mainloop* loop = connection->loop_.get();
  connection->context_.reset(pa_context_new(pa_threaded_mainloop_get_api(loop), "Marvok"));
  pa_context* context = connection->context_.get();
  if (!context) {
    error_code = PA_ERR_INTERNAL;
    return nullptr;
  }
  pa_context_set_state_callback(
      context, [](pa_context*, void* userdata) { wake_waiters(static_cast<pa_threaded_mainloop*>(userdata)); }, loop);
  // Starting a server of our own would hide from the member that there is none.
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    error_code = connection->error_code();
    return nullptr;
  }
  if (pa_threaded_mainloop_start(loop) < 0) {
    error_code = PA_ERR_INTERNAL;
    return nullptr;
  }
  connection->running_ = true;

  const Lock lock(*connection);
  const bool settled = connection->wait_until(
      [context] {
        const pa_context_state_t state = pa_context_get_state(context);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
      },
      timeout);
  if (pa_context_get_state(context) != PA_CONTEXT_READY) {
    error_code = settled ? connection->error_code() : PA_ERR_TIMEOUT;
    return nullptr;
  }
  return connection;
}

PulseConnection::~PulseConnection() { stop(); }

bool PulseConnection::wait_until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  if (done()) return true;
  struct Deadline {
    pa_threaded_mainloop* loop;
    bool passed = false;
  } deadline{loop_.get()};
  const PulseTimer timer = new_timer(
      [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
        auto* passing = static_cast<Deadline*>(userdata);
        passing->passed = true;
        wake_waiters(passing->loop);
      },
      &deadline);
  if (!timer) return false;
  const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(timeout).count();
  pa_context_rttime_restart(context_.get(), timer.get(), pa_rtclock_now() + static_cast<pa_usec_t>(usec));
  while (!done() && !deadline.passed) pa_threaded_mainloop_wait(loop_.get());
  return done();
}

bool PulseConnection::finish(const PulseOperation& operation, std::chrono::milliseconds timeout) {
  if (!operation) return false;
  pa_operation* handle = operation.get();
  pa_operation_set_state_callback(
      handle, [](pa_operation*, void* userdata) { wake_waiters(static_cast<pa_threaded_mainloop*>(userdata)); },
      loop_.get());
  if (!wait_until([handle] { return pa_operation_get_state(handle) != PA_OPERATION_RUNNING; }, timeout))
    pa_operation_cancel(handle);
  return pa_operation_get_state(handle) == PA_OPERATION_DONE;
}

PulseTimer PulseConnection::new_timer(pa_time_event_cb_t on_time, void* userdata) {
  return PulseTimer(pa_context_rttime_new(context_.get(), PA_USEC_INVALID, on_time, userdata),
                    PulseTimerDeleter{pa_threaded_mainloop_get_api(loop_.get())});
}

int PulseConnection::error_code() const {
  const int code = pa_context_errno(context_.get());
  return code != PA_OK ? code : PA_ERR_UNKNOWN;
}

void PulseConnection::stop() {
  if (!running_) return;
  pa_threaded_mainloop_stop(loop_.get());
  running_ = false;
}

PulseStream::~PulseStream() {
  if (!stream_) return;
  const PulseConnection::Lock lock(*connection_);
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  pa_stream_set_write_callback(stream_, nullptr, nullptr);
  if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
}

std::unique_ptr<PulseStream> new_pulse_stream(PulseConnection& connection, const char* name,
                                              const pa_sample_spec& format) {
  pa_stream* stream = pa_stream_new(connection.context(), name, &format, nullptr);
  if (!stream) return nullptr;
  pa_stream_set_state_callback(
      stream, [](pa_stream*, void* userdata) { wake_waiters(static_cast<pa_threaded_mainloop*>(userdata)); },
      connection.loop());
  return std::make_unique<PulseStream>(connection, stream);
}

bool wait_until_ready(PulseConnection& connection, const PulseStream& stream, int& error_code) {
  pa_stream* handle = stream.get();
  const bool settled = connection.wait_until(
      [handle] {
        const pa_stream_state_t state = pa_stream_get_state(handle);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
      },
      kPulseOpenTimeout);
  if (pa_stream_get_state(handle) == PA_STREAM_READY) return true;
  error_code = settled ? connection.error_code() : PA_ERR_TIMEOUT;
  return false;
}

ServerReach server_reach(const PulseConnection* connection, int error_code) {
  if (!connection || error_code == PA_ERR_TIMEOUT) return ServerReach::Unreachable;
  const PulseConnection::Lock lock(*connection);
  return connection->connected() ? ServerReach::Reached : ServerReach::Unreachable;
}

pa_buffer_attr playback_buffering(std::uint32_t target_bytes, std::uint32_t prebuf, std::uint32_t minreq) {
  pa_buffer_attr buffering{};
  buffering.maxlength = kPulseServerChooses;
  buffering.tlength = target_bytes;
  buffering.prebuf = prebuf;
  buffering.minreq = minreq;
  buffering.fragsize = kPulseServerChooses;
  return buffering;
}

pa_buffer_attr capture_buffering(std::uint32_t fragment_bytes) {
  pa_buffer_attr buffering{};
  buffering.maxlength = kPulseServerChooses;
  buffering.tlength = kPulseServerChooses;
  buffering.prebuf = kPulseServerChooses;
  buffering.minreq = kPulseServerChooses;
  buffering.fragsize = fragment_bytes;
  return buffering;
}

}  // namespace marvok::platform
