#include "screen/gif_player.h"

#include "screen/main_layout.h"
#include "screen/main_screen.h"

namespace marvok::screen {

GifAnimation gif_animation(platform::Animation decoded) {
  GifAnimation animation;
  animation.frames = std::move(decoded.frames);
  if (decoded.first_delay && decoded.first_delay->count() > 0) animation.frame_period = *decoded.first_delay;
  return animation;
}

GifAnimationPlayer::GifAnimationPlayer(MainScreen& window, EventLoop& loop, GifAnimation animation)
    : window_(window), loop_(loop), animation_(std::move(animation)) {}

void GifAnimationPlayer::start(std::optional<std::chrono::milliseconds> shared_tick) {
  const auto period = animation_.frame_period;
  if (shared_tick && shared_tick->count() > 0 && period.count() > 0 &&
      period % *shared_tick == std::chrono::milliseconds(0)) {
    ticks_per_frame_ = period / *shared_tick;
    ticks_ = 0;
    return;
  }
  timer_ = loop_.repeat(period, [this] { draw_next_gif_frame(); });
}

void GifAnimationPlayer::stop() {
  timer_.reset();
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
  const Picture& frame = animation_.frames[next_frame_];
  const Rect square(kPictureArea.top_left(), kAnimationFrameSize);
  window_.draw(square, [&](Canvas& canvas) { canvas.picture_stretched(square, frame, Stretch::IntoRect); });
  next_frame_ = (next_frame_ + 1) % count;
}

}  // namespace marvok::screen
