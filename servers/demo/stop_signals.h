#pragma once

#include <signal.h>

#include <chrono>

namespace marvok::demo {

// SIGINT and SIGTERM, held back from every thread and taken only by the
// waits below, so that a request to end is seen between two steps and the
// demo closes in its own order. Make it before any thread starts.
class StopSignals {
 public:
  StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Waits until `deadline`; true when asked to end.
  bool wait_until(std::chrono::steady_clock::time_point deadline);
  bool wait_for(std::chrono::steady_clock::duration period) {
    return wait_until(std::chrono::steady_clock::now() + period);
  }

 private:
  sigset_t signals_{};
  bool requested_ = false;
};

}  // namespace marvok::demo
