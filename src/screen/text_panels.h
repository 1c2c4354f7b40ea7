#pragma once

#include <string>
#include <string_view>

#include "screen/canvas.h"

namespace marvok::screen {

// The help banner: a yellow frame, a black strip and the help line centred in green.
void draw_help_banner(Canvas& canvas, std::u16string_view info_line, Colour background);

// The greeting and companion status, centred in the bottom frame.
void draw_status_text(Canvas& canvas, std::u16string_view status_text, Colour background);

// "01:14:59" for 4499 seconds.
std::u16string format_countdown(int seconds);

// The time left before an idle client closes, in yellow over the system's
// scroll-bar colour, with "TIME LEFT" below.
void draw_countdown(Canvas& canvas, int seconds_left, Colour background);
// What the countdown covers.
Rect countdown_drawn_area();

}  // namespace marvok::screen
