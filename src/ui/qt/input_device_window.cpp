#include "ui/qt/input_device_window.h"

#include <QCloseEvent>
#include <QRadioButton>
#include <utility>

#include "platform/audio_endpoints.h"
#include "ui/qt/qt_canvas.h"

namespace marvok::ui {

namespace {

// A radio button that only the program checks: a click chooses, and the
// window closes before a new check could show.
class ChoiceButton final : public QRadioButton {
 public:
  ChoiceButton(const QString& caption, QWidget& parent) : QRadioButton(caption, &parent) { setAutoExclusive(false); }

 protected:
  void nextCheckState() override {}
};

}  // namespace

screen::InputDeviceSources sound_server_input_devices() {
  return {platform::list_input_devices, platform::describe_capture_endpoint};
}

InputDeviceWindow::InputDeviceWindow(QWidget& main, DeviceState& devices, std::function<void()> on_closed)
    : QWidget(&main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      devices_(devices),
      on_closed_(std::move(on_closed)) {
  setObjectName(QString::fromLatin1(screen::kInputDeviceWindowClass.data(),
                                    static_cast<qsizetype>(screen::kInputDeviceWindowClass.size())));
  setWindowTitle(QString::fromUtf16(screen::kInputDeviceWindowTitle.data(),
                                    static_cast<qsizetype>(screen::kInputDeviceWindowTitle.size())));
  setAttribute(Qt::WA_DeleteOnClose);
  QPalette background = palette();
  background.setColor(QPalette::Window, to_qcolor(screen::kInputDeviceBackground));
  setPalette(background);
  setAutoFillBackground(true);
}

void InputDeviceWindow::add_buttons() {
  if (!buttons_.empty()) return;
  const std::vector<screen::InputDeviceChoice> choices = screen::input_device_choices(devices_);
  for (std::size_t i = 0; i < choices.size(); ++i) {
    auto* button = new ChoiceButton(QString::fromStdU16String(choices[i].caption), *this);
    button->setGeometry(to_qrect(choices[i].rect));
    button->setChecked(choices[i].checked);
    connect(button, &QAbstractButton::clicked, this, [this, i] { choose(static_cast<int>(i)); });
    button->show();
    buttons_.push_back(button);
  }
}

void InputDeviceWindow::choose(int k) {
  if (closing_) return;
  // Chosen first, so that whoever is told of the closing sees the new choice.
  screen::choose_input_device(devices_, k);
  close();
}

void InputDeviceWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closing_) return;
  closing_ = true;
  if (on_closed_) on_closed_();
}

InputDeviceWindowToggle::InputDeviceWindowToggle(QWidget& main, DeviceState& devices, std::function<void()> on_closed,
                                                 screen::InputDeviceSources sources)
    : main_(main), devices_(devices), on_closed_(std::move(on_closed)), sources_(std::move(sources)) {}

int InputDeviceWindowToggle::toggle() {
  return toggle_window(
      [&] {
        auto* window = new InputDeviceWindow(main_, devices_, on_closed_);
        window->move(to_qpoint(screen::input_device_window_position(from_qrect(main_.frameGeometry()))));
        window->resize(screen::kInputDeviceWindowSize.width, screen::kInputDeviceWindowSize.height);
        return window;
      },
      [&](const QPointer<InputDeviceWindow>& window) {
        window->show();
        main_.raise();
        main_.activateWindow();
        // The buttons are captioned with the names just matched.
        screen::refresh_input_devices(devices_, sources_);
        if (window) window->add_buttons();
      });
}

}  // namespace marvok::ui
