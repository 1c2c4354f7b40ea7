#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "audio/input_device_table.h"
#include "platform/audio_endpoints.h"

class QRadioButton;

namespace marvok {
struct DeviceState;
}

namespace marvok::ui {

inline constexpr QSize kInputDeviceWindowSize{400, 500};

// Where the window learns of the input devices and their endpoints; the
// sound server's unless a test says otherwise.
struct InputDeviceSources {
  std::function<std::vector<std::u16string>()> list_devices = platform::list_input_devices;
  EndpointDescriber describe = platform::describe_capture_endpoint;
};

// The "Marvok Input device" window: one radio button per input device
// entry, captioned with its endpoint's name. Choosing one selects that device
// and closes the window at once.
class InputDeviceWindow final : public QWidget {
  Q_OBJECT

 public:
  InputDeviceWindow(QWidget& main, DeviceState& devices, std::function<void()> on_closed);

  // Makes the buttons from the table as it is now, checking the one of the
  // selected device. Once only: later calls do nothing.
  void add_buttons();
  // What a click on button `k` does: closes the window and selects entry k's device.
  void choose(int k);

  // The buttons, entry 0 first; empty until added.
  const std::vector<QRadioButton*>& buttons() const { return buttons_; }
  // True from the moment the window is asked to close, before it is deleted.
  bool closing() const { return closing_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  DeviceState& devices_;
  std::function<void()> on_closed_;
  std::vector<QRadioButton*> buttons_;
  bool closing_ = false;
};

// Opens and closes the input device window from the parameters window.
class InputDeviceWindowToggle {
 public:
  // `on_closed` runs each time the window closes, by a choice or by its close box.
  InputDeviceWindowToggle(QWidget& main, DeviceState& devices, std::function<void()> on_closed,
                          InputDeviceSources sources = {});
  ~InputDeviceWindowToggle();
  InputDeviceWindowToggle(const InputDeviceWindowToggle&) = delete;
  InputDeviceWindowToggle& operator=(const InputDeviceWindowToggle&) = delete;

  // Closes the window when open; otherwise opens it to the main window's
  // left, refreshes the device table and shows a button per entry, leaving
  // the main window in front. 1, or 0 when the window could not be created.
  int toggle();

  // The open window, or null.
  InputDeviceWindow* window() const;
  bool is_open() const { return window() != nullptr; }

 private:
  QWidget& main_;
  DeviceState& devices_;
  std::function<void()> on_closed_;
  InputDeviceSources sources_;
  QPointer<InputDeviceWindow> window_;
};

}  // namespace marvok::ui
