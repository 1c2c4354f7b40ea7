#include "ui/win32/input_device_window.h"

#include <utility>

#include "ui/win32/tool_window.h"
#include "ui/win32/window_procedure.h"

namespace marvok::ui::win32 {

namespace {

constexpr wchar_t kClassName[] = L"InputDeviceWndClass";
// Button k has the command identifier kFirstButton + k.
constexpr int kFirstButton = 1000;

COLORREF background_colour() {
  const screen::Colour colour = screen::kInputDeviceBackground;
  return RGB(colour.red, colour.green, colour.blue);
}

void register_class() {
  register_window_class(kClassName, forward_to_owner<InputDeviceWindow>,
                        [] { return CreateSolidBrush(background_colour()); });
}

}  // namespace

InputDeviceWindow::InputDeviceWindow(HWND main, DeviceState& devices, std::function<void()> on_closed)
    : devices_(devices), on_closed_(std::move(on_closed)), background_(CreateSolidBrush(background_colour())) {
  register_class();
  const screen::Point at = screen::input_device_window_position(frame_of(main));
  const std::u16string title(screen::kInputDeviceWindowTitle);
  window_ = CreateWindowExW(0, kClassName, reinterpret_cast<const wchar_t*>(title.c_str()), WS_SYSMENU, at.x, at.y,
                            screen::kInputDeviceWindowSize.width, screen::kInputDeviceWindowSize.height, main, nullptr,
                            GetModuleHandleW(nullptr), this);
}

InputDeviceWindow::~InputDeviceWindow() {
  // Gone with its toggle, at the end of the run: nobody is to be told.
  closing_ = true;
  if (window_ != nullptr) DestroyWindow(window_);
  DeleteObject(background_);
}

void InputDeviceWindow::close_window() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void InputDeviceWindow::add_buttons() {
  if (buttons_added_ || window_ == nullptr) return;
  buttons_added_ = true;
  const std::vector<screen::InputDeviceChoice> choices = screen::input_device_choices(devices_);
  for (std::size_t k = 0; k < choices.size(); ++k) {
    const screen::InputDeviceChoice& choice = choices[k];
    // Not an automatic radio button: a click chooses, and the window closes before any check could show.
    HWND button = CreateWindowExW(
        0, L"BUTTON", reinterpret_cast<const wchar_t*>(choice.caption.c_str()), WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON,
        choice.rect.x, choice.rect.y, choice.rect.width, choice.rect.height, window_,
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handles and messages carry pointers as integers
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButton + static_cast<int>(k))), GetModuleHandleW(nullptr),
        nullptr);
    if (button != nullptr && choice.checked) SendMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
  }
}

void InputDeviceWindow::choose(int k) {
  if (closing()) return;
  // Chosen first, so that whoever is told of the closing sees the new choice.
  screen::choose_input_device(devices_, k);
  close_window();
}

LRESULT InputDeviceWindow::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) >= kFirstButton) choose(LOWORD(wparam) - kFirstButton);
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // The buttons stand on the window's grey, not on the system's face colour.
      // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handles and messages carry pointers as integers
      SetBkColor(reinterpret_cast<HDC>(wparam), background_colour());
      return reinterpret_cast<LRESULT>(background_);
    case WM_DESTROY:
      if (!closing_) {
        closing_ = true;
        if (on_closed_) on_closed_();
      }
      break;
    case WM_NCDESTROY: window_ = nullptr; break;
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

InputDeviceWindowToggle::InputDeviceWindowToggle(HWND main, DeviceState& devices, std::function<void()> on_closed,
                                                 screen::InputDeviceSources sources)
    : main_(main), devices_(devices), on_closed_(std::move(on_closed)), sources_(std::move(sources)) {}

int InputDeviceWindowToggle::toggle() {
  return toggle_window([&] { return std::make_shared<InputDeviceWindow>(main_, devices_, on_closed_); },
                       [&](const std::shared_ptr<InputDeviceWindow>& window) {
                         ShowWindow(window->handle(), SW_SHOWNOACTIVATE);
                         activate(main_);
                         // The buttons are captioned with the names just matched.
                         screen::refresh_input_devices(devices_, sources_);
                         window->add_buttons();
                       });
}

}  // namespace marvok::ui::win32
