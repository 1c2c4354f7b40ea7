#include "ui/win32/dib_surface.h"

#include <algorithm>

#include "ui/win32/gdi_canvas.h"

namespace marvok::ui::win32 {

DibSurface::DibSurface(screen::Size size, std::function<void(const screen::Region&)> present)
    : bitmap_(size), present_(std::move(present)) {
  const screen::PixelRows rows = bitmap_.rows();
  if (rows.pixels != nullptr)
    std::fill_n(rows.pixels, static_cast<std::ptrdiff_t>(rows.stride) * rows.size.height, 0x00000000u);
}

void DibSurface::paint(const std::function<void(screen::Canvas&)>& drawing) {
  GdiCanvas canvas(bitmap_.dc());
  drawing(canvas);
}

screen::PixelRows DibSurface::pixels() {
  // GDI may still hold drawing back in its batch.
  GdiFlush();
  return bitmap_.rows();
}

void DibSurface::present(const screen::Region& area) {
  if (present_) present_(area);
}

}  // namespace marvok::ui::win32
