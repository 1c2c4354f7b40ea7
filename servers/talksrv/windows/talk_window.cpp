#include "talk_window.h"

#include <commctrl.h>

#include <utility>

namespace marvok::talksrv {

namespace {

constexpr wchar_t kClassName[] = L"MarvokTalksrvWindow";
constexpr UINT_PTR kButtonSubclass = 1;
constexpr int kMargin = 10;
constexpr int kButtonWidth = 220;
constexpr int kButtonHeight = 60;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExtendedStyle = WS_EX_TOPMOST;

bool register_class(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handles and messages carry pointers as integers
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::unique_ptr<TalkWindow> TalkWindow::open(OnChange on_change) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!register_class(instance, window_procedure)) return nullptr;
  std::unique_ptr<TalkWindow> talk(new TalkWindow(std::move(on_change)));
  RECT frame{0, 0, kButtonWidth + 2 * kMargin, kButtonHeight + 2 * kMargin};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExtendedStyle);
  talk->window_ = CreateWindowExW(kExtendedStyle, kClassName, L"Marvok - synth\u00E8se vocale", kStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  instance, talk.get());
  if (talk->window_ == nullptr) return nullptr;
  talk->button_ =
      CreateWindowExW(0, L"BUTTON", L"Maintenir pour parler", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, kMargin, kMargin,
                      kButtonWidth, kButtonHeight, talk->window_, nullptr, instance, nullptr);
  if (talk->button_ == nullptr ||
      !SetWindowSubclass(talk->button_, button_procedure, kButtonSubclass, reinterpret_cast<DWORD_PTR>(talk.get())))
    return nullptr;
  SendMessageW(talk->button_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  ShowWindow(talk->window_, SW_SHOWNORMAL);
  UpdateWindow(talk->window_);
  return talk;
}

TalkWindow::~TalkWindow() {
  if (window_ != nullptr && IsWindow(window_)) {
    // Gone already is the usual end; otherwise it may no longer call back.
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

void TalkWindow::close() const { PostMessageW(window_, WM_CLOSE, 0, 0); }

void TalkWindow::report(HeldKey::Event event) {
  if (const std::optional<Report> change = held_.on(event)) on_change_(*change);
}

LRESULT CALLBACK TalkWindow::window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handles and messages carry pointers as integers
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handles and messages carry pointers as integers
  auto* const self = reinterpret_cast<TalkWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_ENDSESSION:
      // The session ends: close as on the close box, before the system ends the process.
      if (w != FALSE) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (self != nullptr) {
        self->report(HeldKey::Event::Up);
        PostQuitMessage(0);
      }
      return 0;
    default: return DefWindowProcW(window, message, w, l);
  }
}

LRESULT CALLBACK TalkWindow::button_procedure(HWND button, UINT message, WPARAM w, LPARAM l, UINT_PTR /*id*/,
                                              DWORD_PTR self) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handles and messages carry pointers as integers
  auto* const talk = reinterpret_cast<TalkWindow*>(self);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      // The button takes the mouse first, so a capture lost later is seen.
      const LRESULT result = DefSubclassProc(button, message, w, l);
      talk->report(HeldKey::Event::Down);
      return result;
    }
    // Released where the mouse is let go, or when the capture goes elsewhere
    // (another window pops up, the focus is taken): a talk never stays on.
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: talk->report(HeldKey::Event::Up); return DefSubclassProc(button, message, w, l);
    case WM_NCDESTROY: RemoveWindowSubclass(button, button_procedure, kButtonSubclass); break;
    default: break;
  }
  return DefSubclassProc(button, message, w, l);
}

}  // namespace marvok::talksrv
