// Friendly names and icons of the sound server's devices. The server keeps
// both in each device's properties: `device.description` and `device.icon_name`.
#include "platform/audio_endpoints.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "platform/console.h"
#include "platform/linux/pulse_connection.h"
#include "state/utf8.h"

namespace marvok::platform {

namespace {

constexpr auto kListingTimeout = std::chrono::seconds(2);

// What the server tells of one device.
struct DeviceFacts {
  std::string id;
  // Nothing when the device has no name at all.
  std::optional<std::u16string> name;
  // Empty when the device has no icon.
  std::u16string icon;
};

std::u16string to_utf16(const char* utf8) { return utf8_to_utf16(utf8); }

std::u16string cut(std::u16string text, std::size_t limit) {
  if (text.size() > limit) text.resize(limit);
  return text;
}

template <typename Info>
DeviceFacts facts_of(const Info& info) {
  DeviceFacts facts;
  facts.id = info.name ? info.name : "";
  if (const char* description = pa_proplist_gets(info.proplist, PA_PROP_DEVICE_DESCRIPTION)) {
    facts.name = to_utf16(description);
  } else if (info.description) {
    facts.name = to_utf16(info.description);
  }
  if (const char* icon = pa_proplist_gets(info.proplist, PA_PROP_DEVICE_ICON_NAME)) facts.icon = to_utf16(icon);
  return facts;
}

// What one listing gathered; a failed listing reports end_of_list < 0.
template <typename Facts>
struct Gathered {
  Facts facts{};
  bool failed = false;
};

std::unique_ptr<PulseConnection> connect_for_listing() {
  int error_code = 0;
  return PulseConnection::open(error_code, kListingTimeout);
}

// The inputs in the server's order, without the monitors of outputs: the same
// devices, in the same order, as capture opens by number. Call with the lock held.
std::optional<std::vector<DeviceFacts>> list_capture_endpoints(PulseConnection& connection) {
  Gathered<std::vector<DeviceFacts>> gathered;
  const PulseOperation listing(pa_context_get_source_info_list(
      connection.context(),
      [](pa_context*, const pa_source_info* info, int end_of_list, void* userdata) {
        auto* into = static_cast<Gathered<std::vector<DeviceFacts>>*>(userdata);
        if (end_of_list < 0) into->failed = true;
        if (end_of_list || !info || info->monitor_of_sink != PA_INVALID_INDEX) return;
        into->facts.push_back(facts_of(*info));
      },
      &gathered));
  if (!connection.finish(listing, kListingTimeout) || gathered.failed) return std::nullopt;
  return std::move(gathered.facts);
}

// Call with the lock held.
std::optional<std::string> default_source_name(PulseConnection& connection) {
  Gathered<std::optional<std::string>> gathered;
  const PulseOperation asking(pa_context_get_server_info(
      connection.context(),
      [](pa_context*, const pa_server_info* info, void* userdata) {
        auto* into = static_cast<Gathered<std::optional<std::string>>*>(userdata);
        if (info && info->default_source_name) into->facts = info->default_source_name;
      },
      &gathered));
  if (!connection.finish(asking, kListingTimeout)) return std::nullopt;
  return gathered.facts;
}

// Call with the lock held.
std::optional<DeviceFacts> default_sink(PulseConnection& connection) {
  Gathered<std::optional<DeviceFacts>> gathered;
  const PulseOperation asking(pa_context_get_sink_info_by_name(
      connection.context(), "@DEFAULT_SINK@",
      [](pa_context*, const pa_sink_info* info, int end_of_list, void* userdata) {
        auto* into = static_cast<Gathered<std::optional<DeviceFacts>>*>(userdata);
        if (end_of_list < 0) into->failed = true;
        if (end_of_list || !info) return;
        into->facts = facts_of(*info);
      },
      &gathered));
  if (!connection.finish(asking, kListingTimeout) || gathered.failed) return std::nullopt;
  return gathered.facts;
}

std::optional<std::vector<DeviceFacts>> capture_endpoints() {
  const std::unique_ptr<PulseConnection> connection = connect_for_listing();
  if (!connection) return std::nullopt;
  const PulseConnection::Lock lock(*connection);
  return list_capture_endpoints(*connection);
}

enum class IconFound { Yes, No };

// The icon part of a description. The icon is a name in the icon theme, so
// there is no resource index to go with it.
IconFound read_icon(const DeviceFacts& facts, DeviceDescription& description) {
  description.icon_index = 0;
  if (facts.icon.empty()) return IconFound::No;
  description.icon_path = cut(facts.icon, kIconPathChars);
  return IconFound::Yes;
}

}  // namespace

int describe_default_output_device(DeviceDescription& description) {
  std::optional<DeviceFacts> sink;
  if (const std::unique_ptr<PulseConnection> connection = connect_for_listing()) {
    const PulseConnection::Lock lock(*connection);
    sink = default_sink(*connection);
  }
  if (!sink || !sink->name) return kEndpointFailed;
  description.name = cut(*sink->name, kEndpointNameChars);
  print_console_text("Endpoint friendly name: " + utf16_to_utf8(description.name) + "\n");
  if (read_icon(*sink, description) == IconFound::No) {
    print_console_text("Virgule non trouvée dans la chaîne.\n");
    return kEndpointNoIcon;
  }
  return kEndpointOk;
}

int describe_capture_endpoint(int index, DeviceDescription& description) {
  if (index < 0) return kEndpointFailed;
  const std::optional<std::vector<DeviceFacts>> endpoints = capture_endpoints();
  if (!endpoints || static_cast<std::size_t>(index) >= endpoints->size()) return kEndpointFailed;
  const DeviceFacts& endpoint = (*endpoints)[static_cast<std::size_t>(index)];
  if (!endpoint.name) return kEndpointFailed;
  description.name = cut(*endpoint.name, kEndpointNameChars);
  read_icon(endpoint, description);
  return kEndpointOk;
}

std::optional<int> default_capture_endpoint_index() {
  const std::unique_ptr<PulseConnection> connection = connect_for_listing();
  if (!connection) return std::nullopt;
  const PulseConnection::Lock lock(*connection);
  const std::optional<std::string> wanted = default_source_name(*connection);
  if (!wanted) return std::nullopt;
  const std::optional<std::vector<DeviceFacts>> endpoints = list_capture_endpoints(*connection);
  if (!endpoints) return std::nullopt;
  for (std::size_t i = 0; i < endpoints->size(); ++i)
    if ((*endpoints)[i].id == *wanted) return static_cast<int>(i);
  return std::nullopt;
}

std::vector<std::u16string> list_input_devices() {
  std::vector<std::u16string> names;
  const std::optional<std::vector<DeviceFacts>> endpoints = capture_endpoints();
  if (!endpoints) return names;
  // Capture opens the inputs by number alone, so these names only serve to
  // find each input's endpoint by its first characters. The product name
  // (`device.product.name`) is often not how the description begins, which
  // would leave every input unmatched: the description always is.
  for (const DeviceFacts& endpoint : *endpoints)
    names.push_back(cut(endpoint.name.value_or(std::u16string()), kInputDeviceNameChars));
  return names;
}

}  // namespace marvok::platform
