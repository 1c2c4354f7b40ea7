#include "ui/main_window_drawings.h"

#include <QPainter>

#include "state/session_state.h"
#include "ui/drawing_helpers.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"
#include "ui/picture_image.h"
#include "ui/speaker_panel.h"
#include "ui/text_panels.h"
#include "ui/window_frame.h"

namespace marvok::ui {

void draw_startup_marks(MainWindow& window, const DisplayState& display) {
  const std::uint32_t background = display.BackgroundColor.load(std::memory_order_relaxed);
  window.draw(kTitleArea, [&](QPainter& painter) { draw_title(painter, background); });
  window.draw(kCloseArea, [&](QPainter& painter) { draw_close_cross(painter, display, CrossHover::Outside); });
  window.draw(kPictureArea.adjusted(-1, -1, 1, 1), [](QPainter& painter) {
    painter.setPen(Qt::white);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(kPictureArea.adjusted(0, 0, -1, -1));
  });
}

void show_countdown(MainWindow& window, int seconds_left, std::uint32_t background) {
  window.draw(kCountdownArea.adjusted(0, 0, 20, 40),
              [&](QPainter& painter) { draw_countdown(painter, seconds_left, background); });
}

void show_speaker_picture(MainWindow& window, const Picture& picture) {
  const QImage image = to_qimage(picture);
  window.draw_pixels([&](QImage& surface) { return draw_speaker_picture(surface, image); });
}

void show_speaker_card(MainWindow& window, std::uint32_t background, const web::SpeakerCard& card) {
  window.draw_pixels(
      [&](QImage& surface) { return draw_speaker_card(surface, background, card.first_name, card.city, card.phrase); });
}

void draw_accessory_icon(QPainter& painter, const Picture& icon) {
  const QImage picture = to_qimage(icon);
  if (picture.isNull()) return;
  StretchImage(painter, picture, kAccessoryIconArea.x(), kAccessoryIconArea.y(), kAccessoryIconArea.width(),
               kAccessoryIconArea.height());
}

}  // namespace marvok::ui
