// Tells the client's main window that the system's session ends, as Windows
// does at log-off: first the question, then the end. Exit code 0 once both
// were answered, 1 when no client window is found, 2 when it refused to end.
#include <windows.h>

int main() {
  HWND main = FindWindowW(L"X", L"MARVOK");
  if (main == nullptr) return 1;
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer) == 0 ||
      answer == FALSE) {
    return 2;
  }
  SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &answer);
  return 0;
}
