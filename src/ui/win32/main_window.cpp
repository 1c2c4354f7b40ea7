#include "ui/win32/main_window.h"

#include <windowsx.h>

#include "screen/main_layout.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/win32_keys.h"
#include "ui/win32/window_procedure.h"

namespace marvok::ui::win32 {

namespace {

constexpr wchar_t kClassName[] = L"X";
constexpr int kCornerDiameter = 20;

// Once per process; the window's first background is the colour at that time.
void register_class(std::uint32_t background_colorref) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class{};
  if (GetClassInfoExW(instance, kClassName, &window_class) != 0) return;
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = forward_to_owner<MainWindow>;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(MARVOK_ICON_LARGE));
  window_class.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(MARVOK_ICON_SMALL));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = CreateSolidBrush(background_colorref);
  window_class.lpszClassName = kClassName;
  RegisterClassExW(&window_class);
}

screen::Button button_of(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN: return screen::Button::Left;
    case WM_RBUTTONDOWN: return screen::Button::Right;
    default: return screen::Button::Other;
  }
}

}  // namespace

MainWindow::MainWindow(SessionState& state, Handlers handlers)
    : handlers_(std::move(handlers)),
      surface_(screen::kMainWindowSize,
               [this](const screen::Region& area) {
                 for (const screen::Rect& rect : area.rects()) {
                   invalidate(window_, rect.x, rect.y, rect.width, rect.height);
                 }
               }),
      screen_(state, surface_, [this] { destroy(); }) {
  register_class(state.display.BackgroundColor.load(std::memory_order_relaxed));
  const screen::Size size = screen::kMainWindowSize;
  window_ = CreateWindowExW(0, kClassName, L"MARVOK", WS_POPUP | WS_SYSMENU, 0, 0, size.width, size.height, nullptr,
                            nullptr, GetModuleHandleW(nullptr), this);
  if (window_ != nullptr) {
    SetWindowRgn(window_, CreateRoundRectRgn(0, 0, size.width, size.height, kCornerDiameter, kCornerDiameter), TRUE);
  }
}

// Destroyed by its owner, the window has nobody left to tell.
MainWindow::~MainWindow() {
  handlers_ = {};
  meters_ = {};
  destroy();
}

void MainWindow::destroy() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void MainWindow::show_centred() {
  if (window_ == nullptr) return;
  const screen::Point at =
      screen::centred_top_left({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, screen::kMainWindowSize);
  SetWindowPos(window_, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  UpdateWindow(window_);
}

void MainWindow::update_now() {
  if (window_ == nullptr) return;
  screen_.paint_frame_if_asked();
  UpdateWindow(window_);
}

void MainWindow::create_level_meters(const LevelMeterState& meters) {
  if (window_ == nullptr) return;
  meters_[0] = std::make_unique<NeedleMeterWindow>(window_, screen_, screen::MeterSide::Left, meters);
  meters_[1] = std::make_unique<NeedleMeterWindow>(window_, screen_, screen::MeterSide::Right, meters);
}

void MainWindow::redraw_level_meters() {
  for (const auto& meter : meters_) {
    if (meter) meter->redraw();
  }
}

screen::Point MainWindow::client_point(LPARAM screen_point) const {
  POINT point{GET_X_LPARAM(screen_point), GET_Y_LPARAM(screen_point)};
  ScreenToClient(window_, &point);
  return {point.x, point.y};
}

bool MainWindow::in_drag_band(LPARAM screen_point) const {
  return screen::kDragArea.contains(client_point(screen_point));
}

LRESULT MainWindow::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
      screen_.paint_frame_if_asked();
      paint_from(window, surface_.dc());
      return 0;
    case WM_NCHITTEST: {
      const LRESULT hit = DefWindowProcW(window, message, wparam, lparam);
      return hit == HTCLIENT && in_drag_band(lparam) ? HTCAPTION : hit;
    }
    // Over the band the pointer is on the title bar: the help line follows it all the same.
    case WM_NCMOUSEMOVE:
      if (wparam == HTCAPTION) screen_.pointer_moved(client_point(lparam));
      break;
    // A right click on the band opens no system menu and says nothing.
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
      if (wparam == HTCAPTION) return 0;
      break;
    case WM_CONTEXTMENU: return 0;
    case WM_MOUSEMOVE: screen_.pointer_moved({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}); return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      screen_.button_pressed(button_of(message), {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      return 0;
    // A held key repeats its key-down: only the first press counts.
    case WM_KEYDOWN:
      if ((lparam & (1L << 30)) == 0) screen_.key_down(screen_key(static_cast<unsigned>(wparam)));
      return 0;
    case WM_KEYUP: screen_.key_up(screen_key(static_cast<unsigned>(wparam))); return 0;
    // A Space release that would reach another window must not leave the microphone open.
    case WM_KILLFOCUS: screen_.keyboard_lost(); break;
    case WM_ENABLE:
    case WM_SHOWWINDOW:
      if (wparam == FALSE) screen_.keyboard_lost();
      break;
    case WM_ACTIVATE: {
      const bool active = LOWORD(wparam) != WA_INACTIVE;
      if (!active) screen_.keyboard_lost();
      screen_.set_foreground(active);
      break;
    }
    // Alt+F4 and the system's close come here: the client ends as by its own close.
    case WM_CLOSE: screen_.close(); return 0;
    case WM_QUERYENDSESSION:
      if (handlers_.end_requested) handlers_.end_requested();
      return TRUE;
    case WM_ENDSESSION:
      if (wparam != FALSE && handlers_.session_ending) {
        // Ending the session may destroy this object: nothing of it is touched after.
        const std::function<void()> ending = handlers_.session_ending;
        ending();
      }
      return 0;
    case WM_DESTROY:
      if (handlers_.destroyed) handlers_.destroyed();
      return 0;
    case WM_NCDESTROY: window_ = nullptr; break;
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace marvok::ui::win32
