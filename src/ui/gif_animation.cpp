#include "ui/gif_animation.h"

#include <QImageReader>
#include <QPainter>

#include "ui/picture_image.h"

namespace marvok::ui {

screen::GifAnimation read_gif_animation(QIODevice& file) {
  screen::GifAnimation animation;
  QImageReader reader(&file, "gif");
  bool first = true;
  while (animation.frames.size() < screen::kMaxAnimationFrames) {
    const QImage frame = reader.read();
    if (frame.isNull()) break;
    if (first) {
      // The reader knows a frame's delay once the frame itself is read.
      const int delay_ms = reader.nextImageDelay();
      if (delay_ms > 0) animation.frame_period = std::chrono::milliseconds(delay_ms);
      first = false;
    }
    const QSize size(screen::kAnimationFrameSize.width, screen::kAnimationFrameSize.height);
    QImage scaled(size, QImage::Format_ARGB32_Premultiplied);
    scaled.fill(Qt::transparent);
    {
      QPainter painter(&scaled);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(QRect(QPoint(0, 0), size), frame);
    }
    animation.frames.push_back(to_picture(scaled));
  }
  return animation;
}

}  // namespace marvok::ui
