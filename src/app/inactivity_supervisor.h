#pragma once

#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>

namespace marvok {

// Closes a client nobody uses: counts the seconds left down once a second,
// shows the count, and when it runs out tells the member and closes the
// client. Key releases and accessory presses put the count back to full.
class InactivitySupervisor {
 public:
  static constexpr int kTickMs = 1000;

  struct Actions {
    // Shows the count on the main window.
    std::function<void(int seconds_left)> show_count;
    // Tells the member the count ran out and closes the client; returns once done.
    std::function<void()> expire;
  };

  InactivitySupervisor(std::atomic<std::int32_t>& seconds_left, Actions actions)
      : seconds_left_(seconds_left), actions_(std::move(actions)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
  }

  // Puts the count to full and starts ticking.
  void start();
  // Kills the timer; nothing happens if it is already gone.
  void stop() { timer_.stop(); }
  bool running() const { return timer_.isActive(); }

  // One second has passed.
  void tick();

 private:
  std::atomic<std::int32_t>& seconds_left_;
  Actions actions_;
  QTimer timer_;
};

}  // namespace marvok
