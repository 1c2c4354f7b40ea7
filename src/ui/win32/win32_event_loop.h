#pragma once

#include <windows.h>

#include <memory>

#include "screen/event_loop.h"

namespace marvok::ui::win32 {

class ConsoleRequests;
class LoopTimers;
class PostedCalls;
struct TerminationRequests;

// The screen's event loop on the thread that makes it, the window thread.
// A message-only window of its own receives the timers and the posted calls,
// so that both go on inside message boxes, dialogs and growth pauses, which
// dispatch the thread's window messages. Make, use and destroy it on the
// window thread; timers and targets may outlive it.
class Win32EventLoop final : public screen::EventLoop {
 public:
  Win32EventLoop();
  ~Win32EventLoop() override;
  Win32EventLoop(const Win32EventLoop&) = delete;
  Win32EventLoop& operator=(const Win32EventLoop&) = delete;

  // Periods under 10 ms are 10 ms, the least a window timer takes.
  std::unique_ptr<screen::Timer> repeat(std::chrono::milliseconds period, std::function<void()> tick) override;
  std::unique_ptr<screen::Timer> once(std::chrono::milliseconds delay, std::function<void()> work) override;
  // Destroy a target on the window thread.
  std::unique_ptr<screen::PostTarget> post_target() override;
  void pause_with_events(std::chrono::milliseconds pause) override;
  std::unique_ptr<screen::LoopTask> watch_termination_requests(std::function<void()> on_request) override;
  int run() override;
  // Window thread. Called before run, run returns at once.
  void exit(int code) override;

  // The session is ending (WM_QUERYENDSESSION, WM_ENDSESSION): the main
  // window passes it on as a request to end, served once its message is done.
  void request_termination();

 private:
  static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_;
  std::shared_ptr<LoopTimers> timers_;
  std::shared_ptr<PostedCalls> calls_;
  std::shared_ptr<TerminationRequests> termination_;
  std::unique_ptr<ConsoleRequests> console_;
};

}  // namespace marvok::ui::win32
