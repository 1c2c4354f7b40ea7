#include "platform/worker_threads.h"

#include <condition_variable>

namespace marvok {

void WorkerThreads::start(std::function<void(std::stop_token)> loop) {
  std::lock_guard lock(mutex_);
  threads_.emplace_back(std::move(loop));
}

void WorkerThreads::stop_all() {
  std::vector<std::jthread> stopping;
  {
    std::lock_guard lock(mutex_);
    stopping.swap(threads_);
  }
  for (auto& thread : stopping) thread.request_stop();
  stopping.clear();  // joins each
}

bool sleep_unless_stopped(std::stop_token stop, std::chrono::milliseconds period) {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  wake.wait_for(lock, stop, period, [] { return false; });
  return !stop.stop_requested();
}

}  // namespace marvok
