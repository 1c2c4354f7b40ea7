#pragma once

#include <string_view>

#include "screen/surface.h"
#include "state/picture.h"

namespace marvok::screen {

// The member heard, as the main window shows them.

// The speaker's picture at its own size from (10, 340), framed in red.
// Returns the area drawn.
Rect draw_speaker_picture(Surface& surface, const Picture& picture);

// The speaker's first name and city on the line above the picture, over the
// background colour, and the speaker's phrase in yellow over a frosted strip
// lower down. Texts are UTF-8. Returns the area drawn.
Rect draw_speaker_card(Surface& surface, Colour background, std::string_view first_name, std::string_view city,
                       std::string_view phrase);

}  // namespace marvok::screen
