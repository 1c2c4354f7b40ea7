#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "screen/input_device_list.h"
#include "state/session_state.h"
#include "ui/win32/window_toggle.h"

namespace marvok::ui::win32 {

// The "Marvok Input device" window: one radio button per input device entry,
// captioned with its endpoint's name. Choosing one selects that device and
// closes the window at once; the buttons are never checked by a click.
class InputDeviceWindow final {
 public:
  // Hidden, placed beside `main`; no window when the system could not make one.
  InputDeviceWindow(HWND main, DeviceState& devices, std::function<void()> on_closed);
  ~InputDeviceWindow();
  InputDeviceWindow(const InputDeviceWindow&) = delete;
  InputDeviceWindow& operator=(const InputDeviceWindow&) = delete;

  HWND handle() const { return window_; }
  bool closing() const { return closing_ || window_ == nullptr; }
  void close_window();

  // Makes the buttons from the table as it is now, checking the selected device's. Once only.
  void add_buttons();
  // What a click on button `k` does.
  void choose(int k);

  LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  DeviceState& devices_;
  std::function<void()> on_closed_;
  HWND window_ = nullptr;
  HBRUSH background_;
  bool buttons_added_ = false;
  bool closing_ = false;
};

// Opens and closes the input device window from the parameters window.
class InputDeviceWindowToggle final : public WindowToggle<InputDeviceWindow> {
 public:
  // `on_closed` runs each time the window closes, by a choice or by its close box.
  InputDeviceWindowToggle(HWND main, DeviceState& devices, std::function<void()> on_closed,
                          screen::InputDeviceSources sources);
  // Opening refreshes the device table and leaves the main window in front.
  // 1, or 0 when the window could not be created.
  int toggle();

 private:
  HWND main_;
  DeviceState& devices_;
  std::function<void()> on_closed_;
  screen::InputDeviceSources sources_;
};

}  // namespace marvok::ui::win32
