#include "platform/master_volume.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

#include "platform/linux/pulse_connection.h"

namespace marvok::platform {

namespace {

constexpr auto kOperationTimeout = std::chrono::seconds(2);

// A short-lived connection for one level change: none, when the server cannot
// be reached in time.
std::unique_ptr<PulseConnection> connect_for_level_change() {
  int error_code = 0;
  return PulseConnection::open(error_code, kOperationTimeout);
}

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

// Call with the lock held.
std::optional<pa_cvolume> read_volume(PulseConnection& connection, AudioEndpoint endpoint) {
  DeviceVolume result;
  const PulseOperation operation(
      endpoint == AudioEndpoint::DefaultRender
          ? pa_context_get_sink_info_by_name(
                connection.context(), "@DEFAULT_SINK@",
                [](pa_context*, const pa_sink_info* i, int eol, void* out) { keep_volume(i, eol, out); }, &result)
          : pa_context_get_source_info_by_name(
                connection.context(), "@DEFAULT_SOURCE@",
                [](pa_context*, const pa_source_info* i, int eol, void* out) { keep_volume(i, eol, out); }, &result));
  if (!connection.finish(operation, kOperationTimeout) || !result.found) return std::nullopt;
  return result.volume;
}

std::optional<float> read_level(PulseConnection& connection, AudioEndpoint endpoint) {
  const PulseConnection::Lock lock(connection);
  const std::optional<pa_cvolume> volume = read_volume(connection, endpoint);
  if (!volume) return std::nullopt;
  const double level = static_cast<double>(pa_cvolume_max(&*volume)) / PA_VOLUME_NORM;
  return static_cast<float>(std::clamp(level, 0.0, 1.0));
}

}  // namespace

std::optional<float> get_master_level(AudioEndpoint endpoint) {
  const std::unique_ptr<PulseConnection> connection = connect_for_level_change();
  if (!connection) return std::nullopt;
  return read_level(*connection, endpoint);
}

struct MasterLevelReader::Connection {
  std::unique_ptr<PulseConnection> pulse;
};

MasterLevelReader::MasterLevelReader() = default;
MasterLevelReader::~MasterLevelReader() = default;

std::optional<float> MasterLevelReader::read(AudioEndpoint endpoint) {
  if (!connection_) connection_ = std::make_unique<Connection>();
  if (!connection_->pulse) connection_->pulse = connect_for_level_change();
  if (!connection_->pulse) return std::nullopt;
  const std::optional<float> level = read_level(*connection_->pulse, endpoint);
  // A device that is missing is no reason to connect again; a lost server is.
  if (!level && pa_context_get_state(connection_->pulse->context()) != PA_CONTEXT_READY) connection_->pulse.reset();
  return level;
}

bool set_master_level(AudioEndpoint endpoint, float level) {
  const std::unique_ptr<PulseConnection> connection = connect_for_level_change();
  if (!connection) return false;
  const PulseConnection::Lock lock(*connection);
  std::optional<pa_cvolume> volume = read_volume(*connection, endpoint);
  if (!volume) return false;
  const double clamped = std::clamp(static_cast<double>(level), 0.0, 1.0);
  pa_cvolume_set(&*volume, volume->channels, static_cast<pa_volume_t>(std::lround(clamped * PA_VOLUME_NORM)));
  int succeeded = 0;
  const pa_context_success_cb_t note = [](pa_context*, int success, void* out) { *static_cast<int*>(out) = success; };
  const PulseOperation operation(
      endpoint == AudioEndpoint::DefaultRender
          ? pa_context_set_sink_volume_by_name(connection->context(), "@DEFAULT_SINK@", &*volume, note, &succeeded)
          : pa_context_set_source_volume_by_name(connection->context(), "@DEFAULT_SOURCE@", &*volume, note,
                                                 &succeeded));
  return connection->finish(operation, kOperationTimeout) && succeeded;
}

}  // namespace marvok::platform
