#include "platform/master_volume.h"

#include <poll.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

namespace marvok::platform {

namespace {

constexpr auto kOperationTimeout = std::chrono::seconds(2);

struct MainloopDeleter {
  void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextDeleter {
  void operator()(pa_context* context) const {
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
};

// One short-lived connection to the sound server, driven by hand.
class PulseSession {
 public:
  bool connect() {
    loop_.reset(pa_mainloop_new());
    if (!loop_) return false;
    context_.reset(pa_context_new(pa_mainloop_get_api(loop_.get()), "Marvok"));
    if (!context_ || pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    return run_until([this] {
             const pa_context_state_t state = pa_context_get_state(context_.get());
             return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
           }) &&
           pa_context_get_state(context_.get()) == PA_CONTEXT_READY;
  }

  // Runs the loop until the operation is done; false on time-out or failure.
  bool finish(pa_operation* operation) {
    if (!operation) return false;
    const bool done = run_until([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
    if (!done) pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return done;
  }

  pa_context* context() { return context_.get(); }

 private:
  template <typename Done>
  bool run_until(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + kOperationTimeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (pa_mainloop_iterate(loop_.get(), 0, nullptr) < 0) return false;
      if (!done()) ::poll(nullptr, 0, 2);
    }
    return true;
  }

  std::unique_ptr<pa_mainloop, MainloopDeleter> loop_;
  std::unique_ptr<pa_context, ContextDeleter> context_;
};

struct DeviceVolume {
  bool found = false;
  pa_cvolume volume{};
};

template <typename Info>
void keep_volume(const Info* info, int end_of_list, void* out) {
  if (end_of_list || !info) return;
  auto* result = static_cast<DeviceVolume*>(out);
  result->found = true;
  result->volume = info->volume;
}

std::optional<pa_cvolume> read_volume(PulseSession& session, AudioEndpoint endpoint) {
  DeviceVolume result;
  pa_operation* operation =
      endpoint == AudioEndpoint::DefaultRender
          ? pa_context_get_sink_info_by_name(
                session.context(), "@DEFAULT_SINK@",
                [](pa_context*, const pa_sink_info* i, int eol, void* out) { keep_volume(i, eol, out); }, &result)
          : pa_context_get_source_info_by_name(
                session.context(), "@DEFAULT_SOURCE@",
                [](pa_context*, const pa_source_info* i, int eol, void* out) { keep_volume(i, eol, out); }, &result);
  if (!session.finish(operation) || !result.found) return std::nullopt;
  return result.volume;
}

}  // namespace

std::optional<float> get_master_level(AudioEndpoint endpoint) {
  PulseSession session;
  if (!session.connect()) return std::nullopt;
  const std::optional<pa_cvolume> volume = read_volume(session, endpoint);
  if (!volume) return std::nullopt;
  const double level = static_cast<double>(pa_cvolume_max(&*volume)) / PA_VOLUME_NORM;
  return static_cast<float>(std::clamp(level, 0.0, 1.0));
}

bool set_master_level(AudioEndpoint endpoint, float level) {
  PulseSession session;
  if (!session.connect()) return false;
  std::optional<pa_cvolume> volume = read_volume(session, endpoint);
  if (!volume) return false;
  const double clamped = std::clamp(static_cast<double>(level), 0.0, 1.0);
  pa_cvolume_set(&*volume, volume->channels, static_cast<pa_volume_t>(std::lround(clamped * PA_VOLUME_NORM)));
  int succeeded = 0;
  const pa_context_success_cb_t note = [](pa_context*, int success, void* out) { *static_cast<int*>(out) = success; };
  pa_operation* operation =
      endpoint == AudioEndpoint::DefaultRender
          ? pa_context_set_sink_volume_by_name(session.context(), "@DEFAULT_SINK@", &*volume, note, &succeeded)
          : pa_context_set_source_volume_by_name(session.context(), "@DEFAULT_SOURCE@", &*volume, note, &succeeded);
  return session.finish(operation) && succeeded;
}

}  // namespace marvok::platform
