#include "app/main_thread_call.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/worker_threads.h"

namespace marvok {

bool run_on_main_thread(screen::PostTarget& target, std::function<void()> work, std::stop_token stop) {
  struct Call {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
  };
  auto call = std::make_shared<Call>();
  target.post([call, work = std::move(work)] {
    work();
    std::lock_guard lock(call->mutex);
    call->done = true;
    call->finished.notify_all();
  });
  std::unique_lock lock(call->mutex);
  return wait_unless_stopped(call->finished, lock, stop, [&] { return call->done; });
}

}  // namespace marvok
