#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

namespace marvok::testing {

// The bytes of a picture file in `format` ("PNG", "BMP", ...), as Qt writes it.
inline QByteArray encoded_image(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

}  // namespace marvok::testing
