#pragma once

#include <windows.h>

namespace marvok::ui::win32 {

// A window procedure that hands each message to the object the window was
// created for (the last argument of CreateWindowExW), through its
// `handle_message`. Messages before WM_NCCREATE and after WM_NCDESTROY, when
// no object is attached, get the default handling.
template <typename Owner>
LRESULT CALLBACK forward_to_owner(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);  // NOLINT(performance-no-int-to-ptr)
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* owner =
      reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));  // NOLINT(performance-no-int-to-ptr)
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (owner == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return owner->handle_message(window, message, wparam, lparam);
}

// Registers a window class of this program once for the run, its windows
// handled by `procedure`, with the arrow cursor. The class keeps the brush
// `make_background` gives until the process ends: it is made only the first time.
template <typename MakeBackground>
void register_window_class(const wchar_t* name, WNDPROC procedure, MakeBackground make_background,
                           HICON icon = nullptr) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &window_class) != FALSE) return;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hIcon = icon;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = make_background();
  window_class.lpszClassName = name;
  RegisterClassExW(&window_class);
}

// Copies the surface's picture onto the window over the area being painted.
inline void paint_from(HWND window, HDC picture) {
  PAINTSTRUCT paint{};
  HDC target = BeginPaint(window, &paint);
  const RECT& area = paint.rcPaint;
  BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, picture, area.left, area.top,
         SRCCOPY);
  EndPaint(window, &paint);
}

// Asks for `area` of the window to be painted again, without erasing it first.
inline void invalidate(HWND window, int x, int y, int width, int height) {
  if (window == nullptr) return;  // a null window would invalidate every window on the desktop
  const RECT rect{x, y, x + width, y + height};
  InvalidateRect(window, &rect, FALSE);
}

}  // namespace marvok::ui::win32
