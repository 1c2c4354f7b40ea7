#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace marvok::screen {

// A timer of the window thread's event loop; it stops when destroyed.
class Timer {
 public:
  virtual ~Timer() = default;
};

// The window thread's event loop, as the screen needs it.
class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Runs `tick` every `period` on the window thread, as precisely as the
  // system allows, until the returned timer is destroyed. Ticks go on while
  // a box or a dialog holds the thread.
  virtual std::unique_ptr<Timer> repeat(std::chrono::milliseconds period, std::function<void()> tick) = 0;
};

}  // namespace marvok::screen
