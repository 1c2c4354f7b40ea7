#include <QBuffer>
#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "ui/gif_animation.h"

// Any bytes as the animation file: frames are read up to the first fault,
// never more than the cap, each of the fixed size.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  const marvok::ui::GifAnimation animation = marvok::ui::read_gif_animation(buffer);
  if (animation.frames.size() > marvok::ui::kMaxAnimationFrames) __builtin_trap();
  for (const QImage& frame : animation.frames)
    if (frame.size() != marvok::ui::kAnimationFrameSize) __builtin_trap();
  if (animation.frame_period.count() <= 0) __builtin_trap();
  return 0;
}
