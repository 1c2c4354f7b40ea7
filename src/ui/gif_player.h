#pragma once

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <optional>

#include "ui/gif_animation.h"

namespace marvok::ui {

class MainWindow;

// Plays the animation in the picture square of the main window, one frame per
// period, looping.
class GifAnimationPlayer {
 public:
  GifAnimationPlayer(MainWindow& window, GifAnimation animation);

  // Plays on a timer of its own, or, when the frame period is a whole number
  // of `shared_tick`, on the ticks of the caller's clock (see `tick`), so
  // that frames come in the wake-ups the window has anyway.
  void start(std::optional<std::chrono::milliseconds> shared_tick = std::nullopt);
  void stop();
  // One tick of the shared clock: the next frame once its period has come round.
  void tick();

  // The timer's step: draws the next frame and moves on, wrapping after the last.
  void draw_next_gif_frame();

  std::uint32_t next_frame() const { return next_frame_; }
  std::chrono::milliseconds frame_period() const { return animation_.frame_period; }
  bool is_running() const { return timer_.isActive() || ticks_per_frame_ > 0; }

 private:
  MainWindow& window_;
  GifAnimation animation_;
  std::uint32_t next_frame_ = 0;
  QTimer timer_;
  // While on a shared clock: its ticks per frame, and those counted so far.
  std::int64_t ticks_per_frame_ = 0;
  std::int64_t ticks_ = 0;
};

}  // namespace marvok::ui
