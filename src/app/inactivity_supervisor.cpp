#include "app/inactivity_supervisor.h"

#include "state/session_state.h"

namespace marvok {

void InactivitySupervisor::start() {
  seconds_left_.store(kCountdownSeconds, std::memory_order_relaxed);
  timer_ = loop_.repeat(kTick, [this] { tick(); });
}

void InactivitySupervisor::tick() {
  // One atomic step, so a restart from the accessory thread is never lost.
  std::int32_t left = seconds_left_.fetch_sub(1, std::memory_order_relaxed) - 1;
  if (left < 0) {
    seconds_left_.store(0, std::memory_order_relaxed);
    left = 0;
    timer_.reset();
    if (actions_.expire) actions_.expire();
  }
  if (actions_.show_count) actions_.show_count(left);
}

}  // namespace marvok
