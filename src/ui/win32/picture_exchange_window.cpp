#include "ui/win32/picture_exchange_window.h"

#include <utility>

#include "relay/channels.h"
#include "ui/win32/gdi_canvas.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/tool_window.h"
#include "ui/win32/window_procedure.h"

namespace marvok::ui::win32 {

namespace {

constexpr wchar_t kClassName[] = L"CanvasWndClass";
// The "Fichier" menu's commands, as the menu resource numbers them.
constexpr WORD kRefreshCommand = 32000;
constexpr WORD kSendCommand = 32001;

void register_class() {
  register_window_class(
      // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handles and messages carry pointers as integers
      kClassName, forward_to_owner<PictureExchangeWindow>, [] { return reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1); },
      LoadIconW(nullptr, IDI_APPLICATION));
}

}  // namespace

PictureExchangeWindow::PictureExchangeWindow(HWND main, const ChannelState& channel, PictureExchangeSource source,
                                             screen::PictureExchangeState& state)
    : main_(main), channel_(channel), source_(std::move(source)), state_(state) {
  register_class();
  const screen::Point at = screen::picture_exchange_position(frame_of(main));
  const std::u16string title(screen::kPictureExchangeWindowTitle);
  // A program without the menu resource (a test) gets a window without a menu.
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(MARVOK_EXCHANGE_MENU));
  window_ = CreateWindowExW(0, kClassName, reinterpret_cast<const wchar_t*>(title.c_str()), WS_OVERLAPPEDWINDOW, at.x,
                            at.y, screen::kPictureExchangeWindowSize.width, screen::kPictureExchangeWindowSize.height,
                            main, menu, GetModuleHandleW(nullptr), this);
  if (window_ == nullptr && menu != nullptr) DestroyMenu(menu);
}

PictureExchangeWindow::~PictureExchangeWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void PictureExchangeWindow::close_window() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void PictureExchangeWindow::refresh() {
  state_.picture_loaded = false;
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
}

void PictureExchangeWindow::send_picture() {
  // The file dialog runs its own loop: the window may close meanwhile, which
  // clears the loaded flag anyway.
  if (source_.upload) source_.upload(relay::current_channel(channel_));
  refresh();
}

void PictureExchangeWindow::paint() {
  RECT client{};
  GetClientRect(window_, &client);
  const screen::Size size{client.right, client.bottom};
  if (size.width > 0 && size.height > 0 && (!drawn_ || drawn_->size() != size || !state_.picture_loaded)) {
    if (!drawn_ || drawn_->size() != size) drawn_ = std::make_unique<BitmapDc>(size);
    GdiCanvas canvas(drawn_->dc());
    const int group = relay::current_channel(channel_);
    screen::draw_picture_exchange(canvas, size, state_,
                                  [this, group] { return source_.download ? source_.download(group) : std::nullopt; });
    GdiFlush();
  }
  if (drawn_) {
    paint_from(window_, drawn_->dc());
  } else {
    ValidateRect(window_, nullptr);
  }
}

LRESULT PictureExchangeWindow::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;  // the drawn picture covers the whole client area
    case WM_SIZE: InvalidateRect(window, nullptr, FALSE); break;
    case WM_PAINT: paint(); return 0;
    case WM_COMMAND: {
      // The file dialog's loop may see the toggle let this window go.
      const std::shared_ptr<PictureExchangeWindow> kept = shared_from_this();
      if (LOWORD(wparam) == kRefreshCommand) refresh();
      if (LOWORD(wparam) == kSendCommand) send_picture();
      return 0;
    }
    case WM_LBUTTONUP: activate(main_); return 0;
    case WM_DESTROY:
      closing_ = true;
      state_.picture_loaded = false;
      break;
    case WM_NCDESTROY: window_ = nullptr; break;
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

PictureExchangeWindowToggle::PictureExchangeWindowToggle(HWND main, const ChannelState& channel,
                                                         PictureExchangeSource source)
    : main_(main), channel_(channel), source_(std::move(source)) {}

int PictureExchangeWindowToggle::toggle() {
  if (relay::current_channel(channel_) == 0) return 1;
  return toggle_window(
      [&] {
        screen::open_picture_exchange(state_);
        return std::make_shared<PictureExchangeWindow>(main_, channel_, source_, state_);
      },
      [&](const std::shared_ptr<PictureExchangeWindow>& window) {
        ShowWindow(window->handle(), SW_SHOWNOACTIVATE);
        activate(main_);
      });
}

}  // namespace marvok::ui::win32
