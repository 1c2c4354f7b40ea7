#include "stop_signals.h"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace marvok::demo {

StopSignals::StopSignals() {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  // Threads started later inherit the mask, so the signals stay pending for the waits.
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
}

bool StopSignals::wait_until(std::chrono::steady_clock::time_point deadline) {
  using namespace std::chrono;
  while (!requested_) {
    const auto left = deadline - steady_clock::now();
    // A zero wait still takes a signal already pending.
    const auto wait = duration_cast<nanoseconds>(std::max(left, steady_clock::duration::zero()));
    const timespec timeout{static_cast<std::time_t>(wait.count() / 1'000'000'000),
                           static_cast<long>(wait.count() % 1'000'000'000)};
    if (::sigtimedwait(&signals_, nullptr, &timeout) > 0) {
      requested_ = true;
    } else if (errno != EINTR) {
      break;  // the deadline passed
    }
  }
  return requested_;
}

}  // namespace marvok::demo
