#pragma once

#include <functional>
#include <string>
#include <vector>

#include "audio/input_device_table.h"
#include "screen/colour.h"
#include "screen/geometry.h"
#include "state/session_state.h"

namespace marvok::screen {

inline constexpr std::string_view kInputDeviceWindowClass = "InputDeviceWndClass";
inline constexpr std::u16string_view kInputDeviceWindowTitle = u"Marvok Input device";
inline constexpr Colour kInputDeviceBackground{127, 127, 127};
inline constexpr Size kInputDeviceWindowSize{400, 500};

// Where the window's frame goes: to the main window's left and lower down.
Point input_device_window_position(const Rect& main_frame);

// Where the window learns of the input devices and their endpoints.
struct InputDeviceSources {
  std::function<std::vector<std::u16string>()> list_devices;
  EndpointDescriber describe;
};

// Lists the input devices and matches each to its endpoint again, asking
// about each endpoint once however many devices are still unmatched.
void refresh_input_devices(DeviceState& devices, const InputDeviceSources& sources);

// One radio button per entry of the device table, captioned with its
// endpoint's name, the selected device's checked.
struct InputDeviceChoice {
  std::u16string caption;
  Rect rect;
  bool checked = false;

  friend bool operator==(const InputDeviceChoice&, const InputDeviceChoice&) = default;
};
std::vector<InputDeviceChoice> input_device_choices(const DeviceState& devices);

// Selects the device of entry `k`; a number outside the table selects nothing.
void choose_input_device(DeviceState& devices, int k);

}  // namespace marvok::screen
