#pragma once

#include <cstdint>

#include "state/session_state.h"

class QPainter;

namespace marvok::ui {

// The title "MARVOK" in yellow, centred at the top of the main window.
void draw_title(QPainter& painter, std::uint32_t background);

// The close cross at the top right: red, or yellow while the pointer is over it.
// Nothing is drawn until start-up allows the cross.
enum class CrossHover { Outside, Inside };
void draw_close_cross(QPainter& painter, const DisplayState& display, CrossHover hover);

// The fixed frame of the main window: rounded outline, bottom frame, title,
// close cross, version and designer credit. Live panels are drawn by their timers.
void paint_window_frame(QPainter& painter, const DisplayState& display, CrossHover hover);

}  // namespace marvok::ui
