#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio_endpoints.h"
#include "state/session_state.h"

namespace marvok {

// Describes capture endpoint `index`: platform::kEndpointOk with the
// description filled in, or a failure status.
using EndpointDescriber = std::function<int(int index, platform::DeviceDescription& description)>;

// How many capture endpoints are tried for each input device.
inline constexpr int kEndpointsTried = 15;

// The caption of an input device no endpoint answers to.
inline constexpr std::u16string_view kNoEndpointName = u"Non trouv\u00e9e";

// Refreshes the entries of the input devices present (at most the table's
// size), device i in entry i: its name and number, then the first endpoint
// whose name agrees with the device's over the shorter of the two lengths.
// Entries beyond the devices present keep what they held.
void refresh_input_device_table(std::array<InputDeviceEntry, kInputDeviceSlots>& table,
                                const std::vector<std::u16string>& device_names, const EndpointDescriber& describe);

}  // namespace marvok
