#include "ui/win32/console_requests.h"

#include <windows.h>

#include <mutex>
#include <utility>

namespace marvok::ui::win32 {

namespace {

// The process ends as soon as the handler of these returns, so it holds the
// system's thread while the window thread closes in order; the system ends
// the process after its own grace period anyway.
constexpr DWORD kClosingGraceMs = 10000;

std::mutex serving_mutex;
const std::function<void()>* serving = nullptr;

BOOL WINAPI on_console_event(DWORD event) {
  {
    const std::lock_guard lock(serving_mutex);
    if (!serving) return FALSE;
    (*serving)();
  }
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    Sleep(kClosingGraceMs);
  }
  return TRUE;
}

}  // namespace

ConsoleRequests::ConsoleRequests(std::function<void()> forward) : forward_(std::move(forward)) {
  {
    const std::lock_guard lock(serving_mutex);
    previous_ = std::exchange(serving, &forward_);
  }
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

ConsoleRequests::~ConsoleRequests() {
  SetConsoleCtrlHandler(on_console_event, FALSE);
  const std::lock_guard lock(serving_mutex);
  if (serving == &forward_) serving = previous_;
}

}  // namespace marvok::ui::win32
