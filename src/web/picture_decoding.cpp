#include "web/picture_decoding.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <span>

namespace marvok::web {

namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::int32_t kSmallestPicture = 8;

// The body's bytes, or nothing for a count that is a failure value or passes the buffer.
std::span<const std::uint8_t> counted_body(std::int32_t byte_count, const ResponseBuffer& response) {
  const auto count = static_cast<std::uint32_t>(byte_count);
  if (count > response.body().size()) return {};
  return response.body().first(count);
}

QImage on_black(const QImage& picture) {
  if (picture.isNull()) return {};
  QImage flat(picture.size(), QImage::Format_RGB32);
  flat.fill(Qt::black);
  QPainter painter(&flat);
  // Some GIFs decode to RGB32 with a clear alpha byte, which drawing would copy
  // as it is: going through ARGB32 makes such pixels opaque like the rest.
  painter.drawImage(0, 0, picture.convertToFormat(QImage::Format_ARGB32));
  return flat;
}

QImage decode(std::span<const std::uint8_t> body, const char* format) {
  if (body.empty()) return {};
  return on_black(QImage::fromData(body.data(), static_cast<int>(body.size()), format));
}

}  // namespace

QImage png_to_bitmap(std::int32_t byte_count, const ResponseBuffer& response) {
  if (byte_count < kSmallestPicture) return {};
  const std::span<const std::uint8_t> body = counted_body(byte_count, response);
  if (body.size() < kPngSignature.size() || !std::equal(kPngSignature.begin(), kPngSignature.end(), body.begin()))
    return {};
  return decode(body, "PNG");
}

QImage image_to_bitmap(std::int32_t byte_count, const ResponseBuffer& response) {
  return decode(counted_body(byte_count, response), nullptr);
}

}  // namespace marvok::web
