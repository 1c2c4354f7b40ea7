#pragma once

#include <windows.h>

#include "screen/geometry.h"
#include "screen/surface.h"
#include "state/picture.h"
#include "ui/win32/gdi_handles.h"

namespace marvok::ui::win32 {

// A top-down 32-bit DIB section selected into a memory DC of its own: GDI
// draws on it and the code reads and writes its rows, 0x00RRGGBB as in a
// Qt RGB32 image. Read the rows after GdiFlush.
class BitmapDc {
 public:
  explicit BitmapDc(screen::Size size);

  HDC dc() const { return dc_.get(); }
  screen::Size size() const { return size_; }
  screen::PixelRows rows() const { return {bits_, size_.width, size_}; }
  bool valid() const { return bits_ != nullptr; }

 private:
  screen::Size size_;
  std::uint32_t* bits_ = nullptr;
  // Released in reverse: the DC's own bitmap is put back before either goes.
  MemoryDc dc_;
  GdiObject<HBITMAP> bitmap_;
  std::unique_ptr<Selection> selection_;
};

// How a picture's alpha is laid into a bitmap.
enum class Alpha {
  // Left out, as in any 32-bit bitmap: TransparentBlt compares the whole pixel with its key.
  Dropped,
  // Kept, with the colours weighed by it, as AlphaBlend takes them.
  Premultiplied,
  // Laid into the colours instead, grey as the alpha, for scaling it as a colour.
  AsGrey,
};

// A bitmap holding `picture`'s pixels.
BitmapDc bitmap_of(const Picture& picture, Alpha alpha = Alpha::Dropped);

// Whether every pixel of `picture` is opaque.
bool is_opaque(const Picture& picture);

}  // namespace marvok::ui::win32
