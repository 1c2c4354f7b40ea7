#include "app/main_thread_call.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace marvok {

bool run_on_main_thread(QObject& context, std::function<void()> work, std::stop_token stop) {
  struct Call {
    std::mutex mutex;
    std::condition_variable_any finished;
    bool done = false;
  };
  auto call = std::make_shared<Call>();
  QMetaObject::invokeMethod(
      &context,
      [call, work = std::move(work)] {
        work();
        std::lock_guard lock(call->mutex);
        call->done = true;
        call->finished.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(call->mutex);
  return call->finished.wait(lock, stop, [&] { return call->done; });
}

}  // namespace marvok
