#include "platform/images.h"

#include <QImageReader>

namespace marvok::platform {

QImage load_bmp_file(const QString& path) {
  QImageReader reader(path, "bmp");
  reader.setDecideFormatFromContent(false);
  return reader.read();
}

QImage decode_bmp(std::span<const std::uint8_t> bytes) {
  return QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "BMP");
}

}  // namespace marvok::platform
