#include "ui/win32/win32_event_loop.h"

#include <timeapi.h>

#include <cstdlib>
#include <utility>

#include "ui/win32/console_requests.h"
#include "ui/win32/loop_timers.h"
#include "ui/win32/message_pump.h"
#include "ui/win32/posted_calls.h"
#include "ui/win32/termination_requests.h"

namespace marvok::ui::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"MarvokEventLoop";

// Window timers follow the system's clock tick, 15.6 ms unless raised: the
// 50 ms meters and ring would step at 47 or 62 ms.
constexpr UINT kTimerResolutionMs = 1;

HWND create_message_window(WNDPROC procedure) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = kWindowClass;
  // A second loop of the process finds the class already there.
  RegisterClassExW(&window_class);
  return CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
}

}  // namespace

Win32EventLoop::Win32EventLoop()
    : window_(create_message_window(window_procedure)),
      timers_(std::make_shared<LoopTimers>(window_)),
      calls_(std::make_shared<PostedCalls>(window_)),
      termination_(std::make_shared<TerminationRequests>(calls_)),
      console_(std::make_unique<ConsoleRequests>([requests = termination_] { requests->request(); })) {
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  timeBeginPeriod(kTimerResolutionMs);
}

Win32EventLoop::~Win32EventLoop() {
  timeEndPeriod(kTimerResolutionMs);
  console_.reset();
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  calls_->close();
  DestroyWindow(window_);
}

LRESULT CALLBACK Win32EventLoop::window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* loop =
      reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));  // NOLINT(performance-no-int-to-ptr)
  if (!loop) return DefWindowProcW(window, message, wparam, lparam);
  if (message == kRunPostedCalls || (message == WM_TIMER && wparam == kPostedCallsTimer)) {
    // Held: a call may destroy the loop.
    const std::shared_ptr<PostedCalls> calls = loop->calls_;
    calls->run_some(message == WM_TIMER);
    return 0;
  }
  if (message == WM_TIMER) {
    const std::shared_ptr<LoopTimers> timers = loop->timers_;
    timers->fire(wparam);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

std::unique_ptr<screen::Timer> Win32EventLoop::repeat(std::chrono::milliseconds period, std::function<void()> tick) {
  return timers_->start(period, std::move(tick), false);
}

std::unique_ptr<screen::Timer> Win32EventLoop::once(std::chrono::milliseconds delay, std::function<void()> work) {
  return timers_->start(delay, std::move(work), true);
}

std::unique_ptr<screen::PostTarget> Win32EventLoop::post_target() { return calls_->new_target(); }

void Win32EventLoop::pause_with_events(std::chrono::milliseconds pause) {
  bool over = false;
  const std::unique_ptr<screen::Timer> timer = once(pause, [&over] { over = true; });
  dispatch_until(over);
}

std::unique_ptr<screen::LoopTask> Win32EventLoop::watch_termination_requests(std::function<void()> on_request) {
  return termination_->watch(std::move(on_request));
}

int Win32EventLoop::run() {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return EXIT_FAILURE;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32EventLoop::exit(int code) { PostQuitMessage(code); }

void Win32EventLoop::request_termination() { termination_->request(); }

}  // namespace marvok::ui::win32
