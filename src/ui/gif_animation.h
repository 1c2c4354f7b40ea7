#pragma once

#include <QImage>
#include <chrono>
#include <cstddef>
#include <vector>

class QIODevice;

namespace marvok::ui {

inline constexpr QSize kAnimationFrameSize{150, 150};
// The period of a file that gives no delay, or a delay of zero, which would
// otherwise redraw as fast as the window thread can go.
inline constexpr std::chrono::milliseconds kDefaultFramePeriod{100};
// Each frame is kept as a 90 KB picture for the whole run: a file announcing
// more frames is shown with its first ones only.
inline constexpr std::size_t kMaxAnimationFrames = 500;

struct GifAnimation {
  // Every frame, scaled to 150 × 150, in file order.
  std::vector<QImage> frames;
  // The whole animation runs at the first frame's delay.
  std::chrono::milliseconds frame_period = kDefaultFramePeriod;
};

// Reads an animated picture. A file that cannot be read, or is cut short,
// gives the frames read before the fault (possibly none).
GifAnimation read_gif_animation(QIODevice& file);

}  // namespace marvok::ui
