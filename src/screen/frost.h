#pragma once

#include "screen/geometry.h"
#include "screen/surface.h"

namespace marvok::screen {

// Frosts `rect` of the picture in place: red and blue become the mean of
// their 5 × 5 neighbourhood in the picture as it was, green a fixed half; a
// 2-pixel border inside the rectangle is left as it was. The part outside the
// picture is left out.
void frost(PixelRows rows, const Rect& rect);

}  // namespace marvok::screen
