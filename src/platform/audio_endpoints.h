#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The sound server's view of the audio devices: the capture endpoints with
// their friendly names and icons, the default input and output, and the input
// devices as capture opens them. Each call connects, asks and disconnects.
namespace marvok::platform {

// Status of a description: 0 on success, negative on failure.
inline constexpr int kEndpointOk = 0;
inline constexpr int kEndpointFailed = -1;
// The endpoint was read but carries no icon: the name is still given.
inline constexpr int kEndpointNoIcon = -2;

// Longest icon reference and friendly name a description keeps, in characters.
inline constexpr std::size_t kIconPathChars = 259;
inline constexpr std::size_t kEndpointNameChars = 255;
// Input devices are known to capture by product names of at most 31 characters.
inline constexpr std::size_t kInputDeviceNameChars = 31;

struct DeviceDescription {
  // The icon theme name of the device (for example "audio-headset"), empty when unknown.
  std::u16string icon_path;
  std::int32_t icon_index = 0;
  std::u16string name;
};

// The default output device. Writes "Endpoint friendly name: %s\n" to standard
// output; a device without an icon writes "Virgule non trouvée dans la chaîne.\n"
// and reports kEndpointNoIcon with its name filled in.
int describe_default_output_device(DeviceDescription& description);

// Capture endpoint `index` among the active ones (microphones and line inputs,
// never the monitors of outputs), in the server's order. kEndpointOk, or
// kEndpointFailed when the server cannot be reached or the index is not below the count.
int describe_capture_endpoint(int index, DeviceDescription& description);

// Where the default capture endpoint stands among the active ones; nothing
// when it cannot be found (or the server cannot be reached).
std::optional<int> default_capture_endpoint_index();

// The input devices capture can open, device 0 first: their product names, cut to
// kInputDeviceNameChars characters.
std::vector<std::u16string> list_input_devices();

}  // namespace marvok::platform
