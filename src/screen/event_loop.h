#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace marvok::screen {

// Something the event loop does for its owner until the owner lets it go: a
// timer, a watch.
class LoopTask {
 public:
  virtual ~LoopTask() = default;
};
using Timer = LoopTask;

// Calls posted to the window thread on behalf of one owner. Calls not yet run
// when the owner destroys it are dropped, so a call never outlives what it
// refers to.
class PostTarget {
 public:
  virtual ~PostTarget() = default;
  // From any thread: runs `work` on the window thread once the loop gets to
  // it, also while a box or a dialog holds the thread.
  virtual void post(std::function<void()> work) = 0;
};

// The window thread's event loop, as the screen and the client need it.
class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Runs `tick` every `period` on the window thread, as precisely as the
  // system allows, until the returned timer is destroyed. Ticks go on while
  // a box or a dialog holds the thread.
  virtual std::unique_ptr<Timer> repeat(std::chrono::milliseconds period, std::function<void()> tick) = 0;
  // Runs `work` once, `delay` from now, unless the returned timer is destroyed first.
  virtual std::unique_ptr<Timer> once(std::chrono::milliseconds delay, std::function<void()> work) = 0;
  virtual std::unique_ptr<PostTarget> post_target() = 0;
  // Handles events for `pause`, then returns: a window growing step by step
  // leaves the member the use of the others meanwhile.
  virtual void pause_with_events(std::chrono::milliseconds pause) = 0;
  // Runs `on_request` on the window thread each time the process is asked to
  // end, a request held from before included, until the watch is destroyed.
  virtual std::unique_ptr<LoopTask> watch_termination_requests(std::function<void()> on_request) = 0;
  // Handles events until `exit`; returns its code.
  virtual int run() = 0;
  virtual void exit(int code) = 0;
};

}  // namespace marvok::screen
