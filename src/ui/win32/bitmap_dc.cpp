#include "ui/win32/bitmap_dc.h"

#include <algorithm>

namespace marvok::ui::win32 {

BitmapDc::BitmapDc(screen::Size size) : size_(size), dc_(CreateCompatibleDC(nullptr)) {
  if (size.empty() || !dc_) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.width;
  info.bmiHeader.biHeight = -size.height;  // negative: the first row is the top one
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_ || bits == nullptr) return;
  bits_ = static_cast<std::uint32_t*>(bits);
  selection_ = std::make_unique<Selection>(dc_.get(), bitmap_.get());
}

bool is_opaque(const Picture& picture) {
  return std::ranges::all_of(picture.pixels, [](std::uint32_t pixel) { return pixel >= 0xFF000000u; });
}

BitmapDc bitmap_of(const Picture& picture, Alpha alpha) {
  BitmapDc bitmap({picture.width, picture.height});
  if (!bitmap.valid() || picture.empty()) return bitmap;
  std::uint32_t* out = bitmap.rows().pixels;
  switch (alpha) {
    case Alpha::Dropped:
      std::ranges::transform(picture.pixels, out, [](std::uint32_t pixel) { return pixel & 0xFFFFFFu; });
      break;
    case Alpha::Premultiplied:
      std::ranges::transform(picture.pixels, out, [](std::uint32_t pixel) {
        const std::uint32_t a = pixel >> 24;
        const auto weigh = [a](std::uint32_t channel) { return (channel * a + 127) / 255; };
        return a << 24 | weigh(pixel >> 16 & 0xFF) << 16 | weigh(pixel >> 8 & 0xFF) << 8 | weigh(pixel & 0xFF);
      });
      break;
    case Alpha::AsGrey:
      std::ranges::transform(picture.pixels, out, [](std::uint32_t pixel) { return (pixel >> 24) * 0x010101u; });
      break;
  }
  return bitmap;
}

}  // namespace marvok::ui::win32
