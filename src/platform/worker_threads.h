#pragma once

#include <chrono>
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

}  // namespace marvok
