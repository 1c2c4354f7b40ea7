#pragma once

#include "accessory/accessory_icon.h"
#include "screen/canvas.h"
#include "state/picture.h"
#include "state/session_state.h"
#include "web/member_card.h"

namespace marvok::screen {

class MainScreen;

// What the client draws on the main window outside the panels' timers, each
// straight onto the window's surface and shown at once.

// The start-up drawing before the panels: the title, the close cross (so the
// member can always see how to close) and the white frame of the picture square.
void draw_startup_marks(MainScreen& window, const DisplayState& display);

// The inactivity countdown, HH:MM:SS, over the system's scroll-bar colour.
void show_countdown(MainScreen& window, int seconds_left, Colour background);

// The picture and card of the member heard.
void show_speaker_picture(MainScreen& window, const Picture& picture);
void show_speaker_card(MainScreen& window, Colour background, const web::SpeakerCard& card);

// The accessory's icon, stretched into its square.
inline constexpr Rect kAccessoryIconArea(accessory::kAccessoryIconLeft, accessory::kAccessoryIconTop,
                                         accessory::kAccessoryIconSize, accessory::kAccessoryIconSize);
void draw_accessory_icon(Canvas& canvas, const Picture& icon);

}  // namespace marvok::screen
