#include "pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

namespace marvok::web_server {

namespace {

QByteArray view_of(std::string_view bytes) {
  return QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QImage decode(std::string_view bytes, QByteArray* format) {
  QByteArray data = view_of(bytes);
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  if (format != nullptr) *format = reader.format();  // known before reading only
  // The reader refuses pictures above its allocation limit, so a small file
  // claiming a huge size costs nothing.
  return reader.read();
}

QSize bounds(PictureSize size) { return size == PictureSize::Small ? QSize(66, 83) : QSize(150, 190); }

}  // namespace

std::optional<DecodedPicture> decode_picture(std::string_view bytes) {
  QByteArray format;
  if (decode(bytes, &format).isNull()) return std::nullopt;
  DecodedPicture picture;
  picture.format = format.toLower().toStdString();
  if (picture.format == "jpg") picture.format = "jpeg";
  const bool common = picture.format == "png" || picture.format == "jpeg" || picture.format == "gif" ||
                      picture.format == "bmp" || picture.format == "webp" || picture.format == "tiff";
  picture.content_type = common ? "image/" + picture.format : "application/octet-stream";
  return picture;
}

std::optional<std::string> scaled_png(std::string_view original, PictureSize size) {
  const QImage image = decode(original, nullptr);
  if (image.isNull()) return std::nullopt;
  return encode_png(image.scaled(bounds(size), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

std::string default_member_picture(int member_number) {
  QImage image(150, 190, QImage::Format_ARGB32);
  // Golden-angle steps keep neighbouring numbers far apart on the colour wheel.
  const int hue = (member_number * 137) % 360;
  const QColor backdrop = QColor::fromHsv(hue, 110, 200);
  const QColor figure = QColor::fromHsv(hue, 160, 90);
  image.fill(backdrop);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(figure);
  painter.drawEllipse(QPointF(75, 70), 32, 36);  // head
  QPainterPath shoulders;
  shoulders.moveTo(15, 190);
  shoulders.cubicTo(15, 125, 135, 125, 135, 190);
  shoulders.closeSubpath();
  painter.drawPath(shoulders);
  painter.end();
  return encode_png(image);
}

std::string encode_png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

}  // namespace marvok::web_server
