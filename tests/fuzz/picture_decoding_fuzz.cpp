// Whatever the web service returns as a picture lands in the response buffer
// and is decoded from there with the count the request returned. A picture
// comes out opaque, on black, from the counted bytes only; anything else
// gives an empty picture.
// The first byte picks the decoder (PNG only or any format) and the count
// (the body's length, a failure value, shorter or longer than the body).
#include <QImageReader>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "web/picture_decoding.h"
#include "web/response_buffer.h"
#include "web/web_client.h"

namespace {

using marvok::web::ResponseBuffer;

std::int32_t count_for(std::uint8_t choice, std::size_t body_size) {
  const auto size = static_cast<std::int32_t>(body_size);
  switch (choice % 6) {
    case 0: return size;
    case 1: return marvok::web::kRequestFailed;
    case 2: return marvok::web::kNoSession;
    case 3: return size / 2;
    case 4: return size + 1 + choice;
    default: return std::numeric_limits<std::int32_t>::min();
  }
}

bool is_png(std::span<const std::uint8_t> bytes) {
  constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return bytes.size() >= sizeof kSignature && std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin());
}

void check_picture(const marvok::Picture& picture) {
  if (picture.empty()) return;
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height))
    __builtin_trap();
  for (const std::uint32_t pixel : picture.pixels)
    if (pixel >> 24 != 0xFF) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // What the fuzzer may allocate, not the product's limit: a picture claiming
  // a huge size is refused by the reader either way, just sooner.
  QImageReader::setAllocationLimit(64);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // One buffer for the whole run, as in the client.
  static ResponseBuffer response;
  const std::span<const std::uint8_t> body(data + 1, size - 1);
  response.begin();
  if (!response.append(body)) __builtin_trap();
  if (response.finish() != body.size() || response.text().size() > body.size()) __builtin_trap();

  const std::int32_t count = count_for(data[0] >> 1, body.size());
  const bool counted = count >= 0 && static_cast<std::size_t>(count) <= body.size();
  const marvok::Picture picture =
      (data[0] & 1) == 0 ? marvok::web::png_to_bitmap(count, response) : marvok::web::image_to_bitmap(count, response);
  if (!picture.empty()) {
    if (!counted) __builtin_trap();
    if ((data[0] & 1) == 0 && !is_png(body.first(static_cast<std::size_t>(count)))) __builtin_trap();
  }
  check_picture(picture);
  return 0;
}
