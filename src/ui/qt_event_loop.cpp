#include "ui/qt_event_loop.h"

#include <QTimer>

namespace marvok::ui {

namespace {

class QtTimer final : public screen::Timer {
 public:
  QtTimer(std::chrono::milliseconds period, std::function<void()> tick) : tick_(std::move(tick)) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick_(); });
    timer_.start(period);
  }

 private:
  std::function<void()> tick_;
  QTimer timer_;
};

}  // namespace

std::unique_ptr<screen::Timer> QtEventLoop::repeat(std::chrono::milliseconds period, std::function<void()> tick) {
  return std::make_unique<QtTimer>(period, std::move(tick));
}

}  // namespace marvok::ui
