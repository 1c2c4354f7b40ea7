#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/pictures.h"
#include "screen/event_loop.h"
#include "screen/geometry.h"
#include "state/picture.h"

namespace marvok::screen {

class MainScreen;

inline constexpr Size kAnimationFrameSize{150, 150};
// The period of a file that gives no delay, or a delay of zero, which would
// otherwise redraw as fast as the window thread can go.
inline constexpr std::chrono::milliseconds kDefaultFramePeriod{100};
// Each frame is kept as a 90 KB picture for the whole run: a file announcing
// more frames is shown with its first ones only.
inline constexpr std::size_t kMaxAnimationFrames = 500;

struct GifAnimation {
  // Every frame in file order, at the file's size: each is drawn stretched to 150 × 150.
  std::vector<Picture> frames;
  // The whole animation runs at the first frame's delay.
  std::chrono::milliseconds frame_period = kDefaultFramePeriod;
};

// The animation of a decoded file: its frames, at the first frame's delay
// when the file gives one above zero.
GifAnimation gif_animation(platform::Animation decoded);

// Plays the animation in the picture square of the main window, one frame per
// period, looping.
class GifAnimationPlayer {
 public:
  GifAnimationPlayer(MainScreen& window, EventLoop& loop, GifAnimation animation);

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
  bool is_running() const { return timer_ != nullptr || ticks_per_frame_ > 0; }

 private:
  MainScreen& window_;
  EventLoop& loop_;
  GifAnimation animation_;
  std::uint32_t next_frame_ = 0;
  std::unique_ptr<Timer> timer_;
  // While on a shared clock: its ticks per frame, and those counted so far.
  std::int64_t ticks_per_frame_ = 0;
  std::int64_t ticks_ = 0;
};

}  // namespace marvok::screen
