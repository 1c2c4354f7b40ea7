#pragma once

#include <QRect>
#include <cstdint>

#include "accessory/accessory_icon.h"
#include "state/picture.h"
#include "web/member_card.h"

class QPainter;

namespace marvok {
struct DisplayState;
}

namespace marvok::ui {

class MainWindow;

// What the client draws on the main window outside the panels' timers, each
// straight onto the window's surface and shown at once.

// The start-up drawing before the panels: the title, the close cross (so the
// member can always see how to close) and the white frame of the picture square.
void draw_startup_marks(MainWindow& window, const DisplayState& display);

// The inactivity countdown, HH:MM:SS, over the background colour.
void show_countdown(MainWindow& window, int seconds_left, std::uint32_t background);

// The picture and card of the member heard.
void show_speaker_picture(MainWindow& window, const Picture& picture);
void show_speaker_card(MainWindow& window, std::uint32_t background, const web::SpeakerCard& card);

// The accessory's icon, stretched into its square.
inline constexpr QRect kAccessoryIconArea(accessory::kAccessoryIconLeft, accessory::kAccessoryIconTop,
                                          accessory::kAccessoryIconSize, accessory::kAccessoryIconSize);
void draw_accessory_icon(QPainter& painter, const Picture& icon);

}  // namespace marvok::ui
