#pragma once

#include <QTimer>
#include <chrono>
#include <cstdint>

#include "ui/gif_animation.h"

namespace marvok::ui {

class MainWindow;

// Plays the animation in the picture square of the main window, one frame per
// period, looping.
class GifAnimationPlayer {
 public:
  GifAnimationPlayer(MainWindow& window, GifAnimation animation);

  void start();
  void stop();

  // The timer's step: draws the next frame and moves on, wrapping after the last.
  void draw_next_gif_frame();

  std::uint32_t next_frame() const { return next_frame_; }
  std::chrono::milliseconds frame_period() const { return animation_.frame_period; }
  bool is_running() const { return timer_.isActive(); }

 private:
  MainWindow& window_;
  GifAnimation animation_;
  std::uint32_t next_frame_ = 0;
  QTimer timer_;
};

}  // namespace marvok::ui
