#include "ui/win32/tool_window.h"

#include <windowsx.h>

#include <cstdint>
#include <string>

#include "ui/win32/window_procedure.h"

namespace marvok::ui::win32 {

namespace {

constexpr UINT_PTR kContentTimer = 1;

std::wstring wide(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

void register_class(const screen::ToolWindowLook& look, const std::wstring& name) {
  register_window_class(name.c_str(), forward_to_owner<ToolWindow>, [&look] {
    return CreateSolidBrush(RGB(look.background.red, look.background.green, look.background.blue));
  });
}

}  // namespace

screen::Rect frame_of(HWND window) {
  RECT frame{};
  if (window != nullptr) GetWindowRect(window, &frame);
  return {frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top};
}

void activate(HWND window) {
  if (window == nullptr || IsWindow(window) == FALSE) return;
  SetForegroundWindow(window);
  SetActiveWindow(window);
}

ToolWindow::ToolWindow(const screen::ToolWindowLook& look)
    : look_(look), surface_(look.size, [this](const screen::Region& area) {
        for (const screen::Rect& rect : area.rects()) invalidate(window_, rect.x, rect.y, rect.width, rect.height);
      }) {
  // The window's colour shows until the content is drawn.
  surface_.paint([&look](screen::Canvas& canvas) { canvas.fill_rect({{0, 0}, look.size}, look.background); });
}

std::shared_ptr<ToolWindow> ToolWindow::create(HWND main, const screen::ToolWindowLook& look, screen::Point position,
                                               const MakeScreen& make_screen) {
  std::shared_ptr<ToolWindow> made(new ToolWindow(look));
  made->screen_ = make_screen(*made, made->surface_);
  const std::wstring class_name = wide(look.class_name);
  register_class(look, class_name);
  const std::u16string title(look.title);
  // Owned by the main window: above it, without a button of its own on the
  // taskbar, and destroyed with it.
  made->window_ = CreateWindowExW(0, class_name.c_str(), reinterpret_cast<const wchar_t*>(title.c_str()), WS_SYSMENU,
                                  position.x, position.y, screen::kOpeningSize.width, screen::kOpeningSize.height, main,
                                  nullptr, GetModuleHandleW(nullptr), made.get());
  return made;
}

ToolWindow::~ToolWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void ToolWindow::start() {
  if (closing()) return;
  ready_ = true;
  screen_->start();
  InvalidateRect(window_, nullptr, FALSE);
  if (look_.tick_period) SetTimer(window_, kContentTimer, static_cast<UINT>(look_.tick_period->count()), nullptr);
}

screen::Size ToolWindow::outer_size() const { return frame_of(window_).size(); }

void ToolWindow::repaint_now() {
  if (window_ == nullptr) return;
  InvalidateRect(window_, nullptr, FALSE);
  UpdateWindow(window_);
}

void ToolWindow::close_window() {
  if (window_ == nullptr) return;
  closing_ = true;
  DestroyWindow(window_);
}

LRESULT ToolWindow::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;  // the surface covers every pixel it has
    case WM_PAINT:
      if (screen_->before_paint() == screen::PaintOutcome::Close) {
        // Not from inside a paint: the close comes once it is over.
        closing_ = true;
        ValidateRect(window, nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
      }
      paint_from(window, surface_.dc());
      return 0;
    case WM_TIMER:
      if (wparam == kContentTimer && ready_ && !closing_) screen_->tick();
      return 0;
    case WM_LBUTTONDOWN: {
      // Presses during the opening are not for the content yet.
      if (!ready_ || closing_) return 0;
      // The content may close the window, or open a picker whose loop sees the window's toggle let it go.
      const std::shared_ptr<ToolWindow> kept = shared_from_this();
      screen_->left_press(
          {static_cast<std::int16_t>(GET_X_LPARAM(lparam)), static_cast<std::int16_t>(GET_Y_LPARAM(lparam))});
      return 0;
    }
    case WM_CLOSE: closing_ = true; break;
    case WM_DESTROY:
      closing_ = true;
      KillTimer(window, kContentTimer);
      break;
    case WM_NCDESTROY: window_ = nullptr; break;
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

bool show_grown(const std::shared_ptr<ToolWindow>& window, const screen::Growth& growth, screen::GrowthPauses pauses,
                screen::EventLoop& loop) {
  ShowWindow(window->handle(), SW_SHOWNOACTIVATE);
  const auto step = [&](const screen::GrowthStep& to, std::chrono::milliseconds pause) {
    SetWindowPos(window->handle(), nullptr, to.position.x, to.position.y, to.size.width, to.size.height,
                 SWP_NOACTIVATE | SWP_NOZORDER);
    UpdateWindow(window->handle());
    loop.pause_with_events(pause);
    return !window->closing();
  };
  for (const screen::GrowthStep& to : growth.unfolding)
    if (!step(to, pauses.unfolding)) return false;
  if (growth.widening != nullptr) {
    for (const screen::GrowthStep& to : growth.widening(frame_of(window->handle())))
      if (!step(to, pauses.widening)) return false;
  }
  window->start();
  return true;
}

}  // namespace marvok::ui::win32
