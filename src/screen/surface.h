#pragma once

#include <cstdint>
#include <functional>

#include "screen/canvas.h"
#include "screen/geometry.h"

namespace marvok::screen {

// The rows of a 32-bit picture, each pixel 0x..RRGGBB (the top byte is not
// read), `stride` pixels from one row to the next.
struct PixelRows {
  std::uint32_t* pixels = nullptr;
  int stride = 0;
  Size size;

  std::uint32_t* row(int y) const { return pixels + static_cast<std::ptrdiff_t>(y) * stride; }
};

// A window's backing picture, which the screen draws on and the window copies
// out when it paints.
class Surface {
 public:
  virtual ~Surface() = default;
  // Draws with a canvas that lives for the call.
  virtual void paint(const std::function<void(Canvas&)>& drawing) = 0;
  // The pixels, for effects a canvas cannot make; not while a paint runs.
  virtual PixelRows pixels() = 0;
  // Shows `area` of the picture in the window at its next paint.
  virtual void present(const Region& area) = 0;
};

}  // namespace marvok::screen
