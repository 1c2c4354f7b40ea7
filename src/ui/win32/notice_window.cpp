#include "ui/win32/notice_window.h"

#include <string>

#include "ui/win32/message_pump.h"

namespace marvok::ui::win32 {

namespace {

constexpr wchar_t kClass[] = L"CustomDialog";
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr int kOffset = 20;
constexpr SIZE kSize{400, 200};
constexpr RECT kTextArea{10, 10, 10 + 280, 10 + 150};

LRESULT CALLBACK notice_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(
          window, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(
              reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));  // NOLINT(performance-no-int-to-ptr)
      break;
    // The class has no brush: the ground is the dialogs' colour.
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(window, &client);
      // NOLINTNEXTLINE(performance-no-int-to-ptr): the message carries the device context
      FillRect(reinterpret_cast<HDC>(wparam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    // Nor a cursor: without this one the last shape would stay over it.
    case WM_SETCURSOR:
      if (LOWORD(lparam) != HTCLIENT) break;
      SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    case WM_TIMER:
      if (wparam == kLifetimeTimer) DestroyWindow(window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      // NOLINTNEXTLINE(performance-no-int-to-ptr): the window's data is the waiting call's flag
      if (auto* closed = reinterpret_cast<bool*>(GetWindowLongPtrW(window, GWLP_USERDATA))) *closed = true;
      return 0;
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

POINT notice_position(HWND main_window) {
  RECT main{};
  if (main_window) GetWindowRect(main_window, &main);
  return {main.left + kOffset, main.top + kOffset};
}

}  // namespace

void show_notice_window(HINSTANCE instance, HWND main_window, std::u16string_view text,
                        std::chrono::milliseconds lifetime) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = notice_procedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = kClass;
  RegisterClassExW(&window_class);

  bool closed = false;
  const POINT position = notice_position(main_window);
  HWND window = CreateWindowExW(0, kClass, L"Info du Superviseur", WS_OVERLAPPEDWINDOW, position.x, position.y,
                                kSize.cx, kSize.cy, main_window, nullptr, instance, &closed);
  if (!window) return;
  // The text area is fixed: a longer text is cut by it.
  const std::wstring wide(text.begin(), text.end());
  CreateWindowExW(0, L"STATIC", wide.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, kTextArea.left, kTextArea.top,
                  kTextArea.right - kTextArea.left, kTextArea.bottom - kTextArea.top, window, nullptr, instance,
                  nullptr);
  SetTimer(window, kLifetimeTimer, static_cast<UINT>(lifetime.count()), nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  if (!dispatch_until(closed)) DestroyWindow(window);
}

}  // namespace marvok::ui::win32
