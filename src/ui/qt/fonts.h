#pragma once

#include <QFont>

namespace marvok::ui {

// Arial (Liberation Sans on Linux) whose line, ascent plus descent, is
// `cell_height` pixels tall: the height the window layout is measured in.
QFont arial_font(int cell_height, QFont::Weight weight = QFont::Bold);

// The plain font used where no font is chosen: bold, 16-pixel lines.
QFont default_font();

}  // namespace marvok::ui
