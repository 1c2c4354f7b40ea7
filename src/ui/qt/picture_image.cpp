#include "ui/qt/picture_image.h"

#include <algorithm>
#include <cstring>

namespace marvok::ui {

namespace {

constexpr std::uint32_t kOpaque = 0xFF000000;

}  // namespace

QImage to_qimage(const Picture& picture) {
  if (picture.empty()) return {};
  const bool opaque = std::ranges::all_of(picture.pixels, [](std::uint32_t pixel) { return pixel >= kOpaque; });
  QImage image(picture.width, picture.height, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
  const auto row_bytes = static_cast<std::size_t>(picture.width) * sizeof(std::uint32_t);
  for (int y = 0; y < picture.height; ++y) {
    std::memcpy(image.scanLine(y),
                &picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width)], row_bytes);
  }
  return image;
}

Picture to_picture(const QImage& image) {
  if (image.isNull()) return {};
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  Picture picture{argb.width(), argb.height(), {}};
  picture.pixels.resize(static_cast<std::size_t>(argb.width()) * static_cast<std::size_t>(argb.height()));
  const auto row_bytes = static_cast<std::size_t>(argb.width()) * sizeof(std::uint32_t);
  for (int y = 0; y < argb.height(); ++y) {
    std::memcpy(&picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(argb.width())],
                argb.constScanLine(y), row_bytes);
  }
  return picture;
}

}  // namespace marvok::ui
