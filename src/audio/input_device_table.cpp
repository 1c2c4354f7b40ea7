#include "audio/input_device_table.h"

#include <algorithm>
#include <string_view>

namespace marvok {

namespace {

// The table's text fields hold at most this many characters.
constexpr std::size_t kEntryTextChars = 255;

std::u16string cut(std::u16string_view text) { return std::u16string(text.substr(0, kEntryTextChars)); }

// Input device names are cut short and endpoint names are not, so only the
// length of the shorter one is compared.
bool names_agree(std::u16string_view endpoint_name, std::u16string_view device_name) {
  const std::size_t m = std::min(endpoint_name.size(), device_name.size());
  return endpoint_name.substr(0, m) == device_name.substr(0, m);
}

}  // namespace

void refresh_input_device_table(std::array<InputDeviceEntry, kInputDeviceSlots>& table,
                                const std::vector<std::u16string>& device_names, const EndpointDescriber& describe) {
  const std::size_t count = std::min(device_names.size(), table.size());
  for (std::size_t id = 0; id < count; ++id) {
    table[id].device_name = cut(device_names[id]);
    table[id].device_id = static_cast<std::int32_t>(id);
  }
  for (std::size_t i = 0; i < count; ++i) {
    InputDeviceEntry& entry = table[i];
    for (int j = 0; j < kEndpointsTried; ++j) {
      platform::DeviceDescription endpoint;
      if (describe && describe(j, endpoint) == platform::kEndpointOk && names_agree(endpoint.name, entry.device_name)) {
        entry.endpoint_index = j;
        entry.endpoint_name = cut(endpoint.name);
        entry.icon_path = cut(endpoint.icon_path);
        break;
      }
      entry.endpoint_index = -1;
      entry.endpoint_name = kNoEndpointName;
    }
  }
}

}  // namespace marvok
