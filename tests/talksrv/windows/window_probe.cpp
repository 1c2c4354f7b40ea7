// Two probes for talksrv's tests under Wine.
//   window_probe            a window that prints each key it receives, "down
//                           0x13" or "up 0x13", so a test can tell whether a key
//                           reached the focused window; ends when closed
//   window_probe end-session   tells talksrv's window that the system's
//                           session ends, as Windows does at log-off; exit code
//                           0 once answered, 1 when there is no such window
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

LRESULT CALLBACK on_message(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
      std::printf("%s 0x%02X\n", down ? "down" : "up", static_cast<unsigned>(w));
      std::fflush(stdout);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, w, l);
  }
}

int end_session() {
  const HWND talksrv = FindWindowW(L"MarvokTalksrvWindow", nullptr);
  if (talksrv == nullptr) return 1;
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(talksrv, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
  SendMessageTimeoutW(talksrv, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "end-session") == 0) return end_session();
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = on_message;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"KeyProbe";
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handles and messages carry pointers as integers
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassW(&window_class);
  const HWND window = CreateWindowExW(0, L"KeyProbe", L"talksrv key probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 100,
                                      300, 200, nullptr, nullptr, window_class.hInstance, nullptr);
  if (window == nullptr) return 1;
  std::puts("ready");
  std::fflush(stdout);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
