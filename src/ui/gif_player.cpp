#include "ui/gif_player.h"

#include <QPainter>

#include "ui/main_window.h"
#include "ui/main_window_layout.h"

namespace marvok::ui {

GifAnimationPlayer::GifAnimationPlayer(MainWindow& window, GifAnimation animation)
    : window_(window), animation_(std::move(animation)) {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] { draw_next_gif_frame(); });
}

void GifAnimationPlayer::start(std::optional<std::chrono::milliseconds> shared_tick) {
  const auto period = animation_.frame_period;
  if (shared_tick && shared_tick->count() > 0 && period.count() > 0 &&
      period % *shared_tick == std::chrono::milliseconds(0)) {
    ticks_per_frame_ = period / *shared_tick;
    ticks_ = 0;
    return;
  }
  timer_.start(period);
}

void GifAnimationPlayer::stop() {
  timer_.stop();
  ticks_per_frame_ = 0;
}

void GifAnimationPlayer::tick() {
  if (ticks_per_frame_ == 0 || ++ticks_ < ticks_per_frame_) return;
  ticks_ = 0;
  draw_next_gif_frame();
}

void GifAnimationPlayer::draw_next_gif_frame() {
  const auto count = static_cast<std::uint32_t>(animation_.frames.size());
  if (count == 0 || next_frame_ >= count) return;
  const QImage& frame = animation_.frames[next_frame_];
  window_.draw(QRect(kPictureArea.topLeft(), kAnimationFrameSize),
               [&](QPainter& painter) { painter.drawImage(kPictureArea.topLeft(), frame); });
  next_frame_ = (next_frame_ + 1) % count;
}

}  // namespace marvok::ui
