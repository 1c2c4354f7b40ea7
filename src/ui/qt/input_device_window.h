#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "screen/input_device_list.h"
#include "state/session_state.h"
#include "ui/qt/window_toggle.h"

class QRadioButton;

namespace marvok::ui {

// The input devices as the sound server knows them.
screen::InputDeviceSources sound_server_input_devices();

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
class InputDeviceWindowToggle final : public WindowToggle<InputDeviceWindow> {
 public:
  // `on_closed` runs each time the window closes, by a choice or by its close box.
  InputDeviceWindowToggle(QWidget& main, DeviceState& devices, std::function<void()> on_closed,
                          screen::InputDeviceSources sources = sound_server_input_devices());

  // Closes the window when open; otherwise opens it to the main window's
  // left, refreshes the device table and shows a button per entry, leaving
  // the main window in front. 1, or 0 when the window could not be created.
  int toggle();

 private:
  QWidget& main_;
  DeviceState& devices_;
  std::function<void()> on_closed_;
  screen::InputDeviceSources sources_;
};

}  // namespace marvok::ui
