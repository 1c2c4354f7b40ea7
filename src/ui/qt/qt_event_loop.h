#pragma once

#include "screen/event_loop.h"

namespace marvok::ui {

// The screen's event loop over Qt's, on the thread that made the application
// object: timers are precise QTimers, posts are queued calls, termination
// requests are watched by a socket notifier. All keep running inside boxes
// and dialogs.
class QtEventLoop final : public screen::EventLoop {
 public:
  std::unique_ptr<screen::Timer> repeat(std::chrono::milliseconds period, std::function<void()> tick) override;
  std::unique_ptr<screen::Timer> once(std::chrono::milliseconds delay, std::function<void()> work) override;
  std::unique_ptr<screen::PostTarget> post_target() override;
  void pause_with_events(std::chrono::milliseconds pause) override;
  std::unique_ptr<screen::LoopTask> watch_termination_requests(std::function<void()> on_request) override;
  int run() override;
  void exit(int code) override;
};

}  // namespace marvok::ui
