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

void GifAnimationPlayer::start() { timer_.start(animation_.frame_period); }

void GifAnimationPlayer::stop() { timer_.stop(); }

void GifAnimationPlayer::draw_next_gif_frame() {
  const auto count = static_cast<std::uint32_t>(animation_.frames.size());
  if (count == 0 || next_frame_ >= count) return;
  const QImage& frame = animation_.frames[next_frame_];
  window_.draw(QRect(kPictureArea.topLeft(), kAnimationFrameSize),
               [&](QPainter& painter) { painter.drawImage(kPictureArea.topLeft(), frame); });
  next_frame_ = (next_frame_ + 1) % count;
}

}  // namespace marvok::ui
