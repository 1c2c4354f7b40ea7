#include "web/picture_decoding.h"

#include <algorithm>
#include <array>
#include <span>

#include "platform/pictures.h"

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

// An 8-bit channel times alpha / 255, rounded to nearest the way Qt's painter
// did when it laid these pictures on black, so they keep their colours.
std::uint32_t channel_on_black(std::uint32_t channel, std::uint32_t alpha) {
  const std::uint32_t product = channel * alpha;
  return (product + (product >> 8) + 0x80) >> 8;
}

Picture on_black(Picture picture) {
  for (std::uint32_t& pixel : picture.pixels) {
    const std::uint32_t alpha = pixel >> 24;
    pixel = 0xFF000000 | channel_on_black(pixel >> 16 & 0xFF, alpha) << 16 |
            channel_on_black(pixel >> 8 & 0xFF, alpha) << 8 | channel_on_black(pixel & 0xFF, alpha);
  }
  return picture;
}

bool is_png(std::span<const std::uint8_t> body) {
  return body.size() >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), body.begin());
}

// Whether every chunk of a PNG ends within the body. A chunk that claims more
// than follows, up to 2 GiB, sends the system's reader after memory it never
// gives back soon: such a picture is refused whole.
bool png_chunks_fit(std::span<const std::uint8_t> body) {
  constexpr std::size_t kChunkFrame = 12;  // length, type, check
  std::size_t at = kPngSignature.size();
  while (body.size() - at >= kChunkFrame) {
    const std::size_t length = std::size_t{body[at]} << 24 | std::size_t{body[at + 1]} << 16 |
                               std::size_t{body[at + 2]} << 8 | std::size_t{body[at + 3]};
    if (length > body.size() - at - kChunkFrame) return false;
    at += kChunkFrame + length;
  }
  return true;
}

Picture decode(std::span<const std::uint8_t> body, platform::PictureFormat format) {
  if (body.empty() || (is_png(body) && !png_chunks_fit(body))) return {};
  return on_black(platform::decode_picture(body, format));
}

}  // namespace

Picture png_to_bitmap(std::int32_t byte_count, const ResponseBuffer& response) {
  if (byte_count < kSmallestPicture) return {};
  const std::span<const std::uint8_t> body = counted_body(byte_count, response);
  if (!is_png(body)) return {};
  return decode(body, platform::PictureFormat::Png);
}

Picture image_to_bitmap(std::int32_t byte_count, const ResponseBuffer& response) {
  return decode(counted_body(byte_count, response), platform::PictureFormat::Any);
}

}  // namespace marvok::web
