#pragma once

#include <QRect>
#include <QSize>

#include "ui/text_drawing.h"

namespace marvok::ui {

// Fixed places on the main window's surface (left, top, right, bottom).
inline constexpr QSize kMainWindowSize{550, 730};
inline const QRect kTitleArea = edges(125, 15, 425, 35);
inline const QRect kCloseArea = edges(510, 10, 540, 40);
inline const QRect kBottomFrame = edges(10, 650, 540, 720);
inline const QRect kCreditArea = edges(390, 610, 535, 650);
inline const QRect kPictureArea = edges(350, 450, 500, 600);

// Where a window of `window` size sits centred on a screen of `screen` size.
inline QPoint centred_top_left(QSize screen, QSize window) {
  return {screen.width() / 2 - window.width() / 2, screen.height() / 2 - window.height() / 2};
}

}  // namespace marvok::ui
