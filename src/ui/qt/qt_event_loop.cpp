#include "ui/qt/qt_event_loop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include "platform/termination_signals.h"

namespace marvok::ui {

namespace {

// The tick lives in the connection, which Qt keeps alive through a call, so
// a tick may destroy its own timer.
class QtTimer final : public screen::Timer {
 public:
  QtTimer(std::chrono::milliseconds period, std::function<void()> tick, bool single_shot = false) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(single_shot);
    QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(tick)] { tick(); });
    timer_.start(period);
  }

 private:
  QTimer timer_;
};

// Queued calls die with the object they are queued on.
class QtPostTarget final : public screen::PostTarget {
 public:
  void post(std::function<void()> work) override {
    QMetaObject::invokeMethod(&context_, std::move(work), Qt::QueuedConnection);
  }

 private:
  QObject context_;
};

class TerminationWatch final : public screen::LoopTask {
 public:
  TerminationWatch(int descriptor, std::function<void()> on_request)
      : notifier_(descriptor, QSocketNotifier::Read), on_request_(std::move(on_request)) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] {
      platform::take_termination_request();
      on_request_();
    });
  }

 private:
  QSocketNotifier notifier_;
  std::function<void()> on_request_;
};

}  // namespace

std::unique_ptr<screen::Timer> QtEventLoop::repeat(std::chrono::milliseconds period, std::function<void()> tick) {
  return std::make_unique<QtTimer>(period, std::move(tick));
}

std::unique_ptr<screen::Timer> QtEventLoop::once(std::chrono::milliseconds delay, std::function<void()> work) {
  return std::make_unique<QtTimer>(delay, std::move(work), true);
}

std::unique_ptr<screen::PostTarget> QtEventLoop::post_target() { return std::make_unique<QtPostTarget>(); }

void QtEventLoop::pause_with_events(std::chrono::milliseconds pause) {
  QEventLoop nested;
  QTimer::singleShot(pause, &nested, &QEventLoop::quit);
  nested.exec();
}

std::unique_ptr<screen::LoopTask> QtEventLoop::watch_termination_requests(std::function<void()> on_request) {
  const int descriptor = platform::termination_request_descriptor();
  if (descriptor < 0) return nullptr;
  return std::make_unique<TerminationWatch>(descriptor, std::move(on_request));
}

int QtEventLoop::run() { return QCoreApplication::exec(); }

void QtEventLoop::exit(int code) { QCoreApplication::exit(code); }

}  // namespace marvok::ui
