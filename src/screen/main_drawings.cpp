#include "screen/main_drawings.h"

#include "screen/main_layout.h"
#include "screen/main_screen.h"
#include "screen/speaker_panel.h"
#include "screen/text_panels.h"
#include "screen/window_frame.h"

namespace marvok::screen {

void draw_startup_marks(MainScreen& window, const DisplayState& display) {
  const Colour background = window_background(display);
  window.draw(kTitleArea, [&](Canvas& canvas) { draw_title(canvas, background); });
  window.draw(kCloseArea, [&](Canvas& canvas) { draw_close_cross(canvas, display, CrossHover::Outside); });
  window.draw(kPictureArea.adjusted(-1, -1, 1, 1), [](Canvas& canvas) { canvas.frame_rect(kPictureArea, kWhite); });
}

void show_countdown(MainScreen& window, int seconds_left, Colour background) {
  window.draw(countdown_drawn_area(), [&](Canvas& canvas) { draw_countdown(canvas, seconds_left, background); });
}

void show_speaker_picture(MainScreen& window, const Picture& picture) {
  window.draw_pixels([&](Surface& surface) { return draw_speaker_picture(surface, picture); });
}

void show_speaker_card(MainScreen& window, Colour background, const web::SpeakerCard& card) {
  window.draw_pixels([&](Surface& surface) {
    return draw_speaker_card(surface, background, card.first_name, card.city, card.phrase);
  });
}

void draw_accessory_icon(Canvas& canvas, const Picture& icon) {
  if (icon.empty()) return;
  canvas.picture_stretched(kAccessoryIconArea, icon, Stretch::ScaledFirst);
}

}  // namespace marvok::screen
