#pragma once

#include "state/picture.h"

namespace marvok::ui::win32 {

// `picture` turned clockwise by `degrees` about its centre, kept at its size:
// corners that leave it are cut off, uncovered pixels are opaque black. Each
// pixel is read between the four nearest with 16 steps each way, as Qt's
// smooth transform does on its fast path, so both front ends turn the knobs alike.
Picture rotated(const Picture& picture, double degrees);

}  // namespace marvok::ui::win32
