#include "ui/input_device_window.h"

#include <QCloseEvent>
#include <QRadioButton>
#include <QWindow>
#include <map>
#include <memory>
#include <utility>

#include "state/session_state.h"

namespace marvok::ui {

namespace {

const QColor kInputDeviceBackground(127, 127, 127);
constexpr QPoint kOffsetFromMainWindow{-300, 200};
constexpr QPoint kFirstButton{10, 10};
constexpr int kButtonStep = 30;
constexpr QSize kButtonSize{350, 25};

// A radio button that only the program checks: a click chooses, and the
// window closes before a new check could show.
class ChoiceButton final : public QRadioButton {
 public:
  ChoiceButton(const QString& caption, QWidget& parent) : QRadioButton(caption, &parent) { setAutoExclusive(false); }

 protected:
  void nextCheckState() override {}
};

// The same endpoint is asked about once for every device that is still
// unmatched: each answer is kept for the one refresh.
EndpointDescriber remembering(const EndpointDescriber& describe) {
  auto answers = std::make_shared<std::map<int, std::pair<int, platform::DeviceDescription>>>();
  return [describe, answers](int index, platform::DeviceDescription& description) {
    auto known = answers->find(index);
    if (known == answers->end()) {
      std::pair<int, platform::DeviceDescription> answer{platform::kEndpointFailed, {}};
      if (describe) answer.first = describe(index, answer.second);
      known = answers->emplace(index, std::move(answer)).first;
    }
    description = known->second.second;
    return known->second.first;
  };
}

}  // namespace

InputDeviceWindow::InputDeviceWindow(QWidget& main, DeviceState& devices, std::function<void()> on_closed)
    : QWidget(&main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      devices_(devices),
      on_closed_(std::move(on_closed)) {
  setObjectName(QStringLiteral("InputDeviceWndClass"));
  setWindowTitle(QStringLiteral("Marvok Input device"));
  setAttribute(Qt::WA_DeleteOnClose);
  QPalette background = palette();
  background.setColor(QPalette::Window, kInputDeviceBackground);
  setPalette(background);
  setAutoFillBackground(true);
}

void InputDeviceWindow::add_buttons() {
  if (!buttons_.empty()) return;
  const std::int32_t selected = devices_.SelectedInputDevice.load(std::memory_order_relaxed);
  for (int i = 0; i < kInputDeviceSlots; ++i) {
    const InputDeviceEntry& entry = devices_.InputDeviceTable[static_cast<std::size_t>(i)];
    auto* button = new ChoiceButton(QString::fromStdU16String(entry.endpoint_name), *this);
    button->setGeometry(QRect(kFirstButton + QPoint(0, kButtonStep * i), kButtonSize));
    button->setChecked(i == selected);
    connect(button, &QAbstractButton::clicked, this, [this, i] { choose(i); });
    button->show();
    buttons_.push_back(button);
  }
}

void InputDeviceWindow::choose(int k) {
  if (closing_) return;
  // Chosen first, so that whoever is told of the closing sees the new choice.
  if (k >= 0 && k < kInputDeviceSlots) {
    devices_.SelectedInputDevice.store(devices_.InputDeviceTable[static_cast<std::size_t>(k)].device_id,
                                       std::memory_order_relaxed);
  }
  close();
}

void InputDeviceWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closing_) return;
  closing_ = true;
  if (on_closed_) on_closed_();
}

InputDeviceWindowToggle::InputDeviceWindowToggle(QWidget& main, DeviceState& devices, std::function<void()> on_closed,
                                                 InputDeviceSources sources)
    : main_(main), devices_(devices), on_closed_(std::move(on_closed)), sources_(std::move(sources)) {}

// The window calls back into whoever made this object: it must not outlive it.
InputDeviceWindowToggle::~InputDeviceWindowToggle() { delete window_.data(); }

InputDeviceWindow* InputDeviceWindowToggle::window() const {
  return window_ && !window_->closing() ? window_.data() : nullptr;
}

int InputDeviceWindowToggle::toggle() {
  if (InputDeviceWindow* open = window()) {
    open->close();
    return 1;
  }

  auto* window = new InputDeviceWindow(main_, devices_, on_closed_);
  window->move(main_.frameGeometry().topLeft() + kOffsetFromMainWindow);
  window->resize(kInputDeviceWindowSize);
  window->winId();
  if (window->windowHandle() == nullptr || window->windowHandle()->handle() == nullptr) {
    delete window;
    return 0;
  }
  window_ = window;
  window->show();
  main_.raise();
  main_.activateWindow();

  // The buttons are captioned with the names just matched.
  const std::vector<std::u16string> names =
      sources_.list_devices ? sources_.list_devices() : std::vector<std::u16string>{};
  refresh_input_device_table(devices_.InputDeviceTable, names, remembering(sources_.describe));
  if (window_) window_->add_buttons();
  return 1;
}

}  // namespace marvok::ui
