#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace marvok {

// The client's endless background loops. They run for the life of the client;
// when it ends, each is asked to stop and joined, so no loop is still touching
// the session state while the process tears down.
class WorkerThreads {
 public:
  WorkerThreads() = default;
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;
  ~WorkerThreads() { stop_all(); }

  void start(std::function<void(std::stop_token)> loop);
  void stop_all();

 private:
  std::mutex mutex_;
  std::vector<std::jthread> threads_;
};

// Sleeps for `period`, waking early when a stop is requested. Returns false
// when the loop should end.
bool sleep_unless_stopped(std::stop_token stop, std::chrono::milliseconds period);

// How long a stoppable wait goes without looking at its stop token. Waits
// look rather than register a std::stop_callback: with the C++ library of the
// Windows toolchain, a thread that removes a stop callback while the stopping
// thread still runs it can miss the end of that run and wait for ever.
inline constexpr std::chrono::milliseconds kStopCheckPeriod{20};

// Waits on `wake` until `done()` holds, a stop is requested or `deadline`
// passes; returns done().
template <typename Predicate>
bool wait_unless_stopped(
    std::condition_variable& wake, std::unique_lock<std::mutex>& lock, const std::stop_token& stop, Predicate done,
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max()) {
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (stop.stop_requested() || now >= deadline) return false;
    wake.wait_until(lock, std::min(deadline, now + kStopCheckPeriod));
  }
  return true;
}

}  // namespace marvok
