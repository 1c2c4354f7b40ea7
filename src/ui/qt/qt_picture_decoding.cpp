// The platform's picture decoding on Linux: Qt's image readers. It is built
// with the windows, which link Qt anyway, so the platform library does not.
#include <QByteArray>
#include <QImageReader>

#include "platform/pictures.h"
#include "ui/qt/picture_image.h"

namespace marvok::platform {

namespace {

// Qt's name of the format; nothing lets the reader judge from the content.
QByteArray qt_format(PictureFormat format) {
  switch (format) {
    case PictureFormat::Bmp: return QByteArrayLiteral("BMP");
    case PictureFormat::Png: return QByteArrayLiteral("PNG");
    case PictureFormat::Any: break;
  }
  return {};
}

}  // namespace

Picture decode_picture(std::span<const std::uint8_t> bytes, PictureFormat format) {
  if (bytes.empty()) return {};
  const QByteArray format_name = qt_format(format);
  return ui::to_picture(QImage::fromData(bytes.data(), static_cast<int>(bytes.size()),
                                         format_name.isEmpty() ? nullptr : format_name.constData()));
}

Picture load_picture_file(const std::filesystem::path& path, PictureFormat format) {
  QImageReader reader(QString::fromStdString(path.string()), qt_format(format));
  // The format asked for holds even against the file's name or content.
  reader.setDecideFormatFromContent(format == PictureFormat::Any);
  return ui::to_picture(reader.read());
}

Animation load_animation_file(const std::filesystem::path& path, std::size_t max_frames) {
  Animation animation;
  QImageReader reader(QString::fromStdString(path.string()), QByteArrayLiteral("GIF"));
  while (animation.frames.size() < max_frames) {
    const QImage frame = reader.read();
    if (frame.isNull()) break;
    // The reader knows a frame's delay once the frame itself is read.
    if (animation.frames.empty() && reader.nextImageDelay() >= 0)
      animation.first_delay = std::chrono::milliseconds(reader.nextImageDelay());
    animation.frames.push_back(ui::to_picture(frame));
  }
  return animation;
}

}  // namespace marvok::platform
