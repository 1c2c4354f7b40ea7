#pragma once

#include <windows.h>

#include "screen/font.h"

namespace marvok::ui::win32 {

// The GDI font of `font`, made once and kept for the program's life (the
// windows use a handful); null for the window default, which is the DC's own
// font. Main thread only.
HFONT gdi_font(const screen::Font& font);

}  // namespace marvok::ui::win32
