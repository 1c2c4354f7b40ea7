#pragma once

#include <string_view>

#include "screen/canvas.h"

namespace marvok::screen {

// A white 14-pixel label with its top-left at `at` over `ground`. Returns the area covered.
Rect draw_label(Canvas& canvas, std::u16string_view text, Point at, Colour ground);

// 20-pixel UTF-8 text with its top-left at `at`, over what is already there.
void draw_utf8_text(Canvas& canvas, std::string_view utf8, Point at, Colour colour);

}  // namespace marvok::screen
