#include "platform/worker_threads.h"

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
  const auto until = std::chrono::steady_clock::now() + period;
  while (!stop.stop_requested()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now, kStopCheckPeriod));
  }
  return false;
}

}  // namespace marvok
