#pragma once

#include <windows.h>

#include <functional>

#include "screen/surface.h"
#include "ui/win32/bitmap_dc.h"

namespace marvok::ui::win32 {

// A window's backing picture as a 32-bit DIB section in a memory DC, which
// the screen draws on through GDI and the window copies out with BitBlt at
// WM_PAINT. Black until drawn on.
class DibSurface final : public screen::Surface {
 public:
  // `present` is told which area to show; the window invalidates it.
  DibSurface(screen::Size size, std::function<void(const screen::Region&)> present);

  void paint(const std::function<void(screen::Canvas&)>& drawing) override;
  screen::PixelRows pixels() override;
  void present(const screen::Region& area) override;

  HDC dc() const { return bitmap_.dc(); }
  screen::Size size() const { return bitmap_.size(); }

 private:
  BitmapDc bitmap_;
  std::function<void(const screen::Region&)> present_;
};

}  // namespace marvok::ui::win32
