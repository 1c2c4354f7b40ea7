#pragma once

#include "screen/canvas.h"
#include "state/session_state.h"

namespace marvok::screen {

// The member's background colour, which the window is painted in.
Colour window_background(const DisplayState& display);

// The title "MARVOK" in yellow, centred at the top of the main window.
void draw_title(Canvas& canvas, Colour background);

// The close cross at the top right: red, or yellow while the pointer is over it.
// Nothing is drawn until start-up allows the cross.
enum class CrossHover { Outside, Inside };
void draw_close_cross(Canvas& canvas, const DisplayState& display, CrossHover hover);

// The fixed frame of the main window: rounded outline, bottom frame, title,
// close cross, version and designer credit. Live panels are drawn by their timers.
void paint_window_frame(Canvas& canvas, const DisplayState& display, CrossHover hover);

}  // namespace marvok::screen
