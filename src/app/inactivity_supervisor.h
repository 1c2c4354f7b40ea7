#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "screen/event_loop.h"

namespace marvok {

// Closes a client nobody uses: counts the seconds left down once a second,
// shows the count, and when it runs out tells the member and closes the
// client. Key releases and accessory presses put the count back to full.
class InactivitySupervisor {
 public:
  static constexpr std::chrono::milliseconds kTick{1000};

  struct Actions {
    // Shows the count on the main window.
    std::function<void(int seconds_left)> show_count;
    // Tells the member the count ran out and closes the client; returns once done.
    std::function<void()> expire;
  };

  InactivitySupervisor(screen::EventLoop& loop, std::atomic<std::int32_t>& seconds_left, Actions actions)
      : loop_(loop), seconds_left_(seconds_left), actions_(std::move(actions)) {}

  // Puts the count to full and starts ticking.
  void start();
  // Kills the timer; nothing happens if it is already gone.
  void stop() { timer_.reset(); }
  bool running() const { return timer_ != nullptr; }

  // One second has passed.
  void tick();

 private:
  screen::EventLoop& loop_;
  std::atomic<std::int32_t>& seconds_left_;
  Actions actions_;
  std::unique_ptr<screen::Timer> timer_;
};

}  // namespace marvok
