#pragma once

#include <QRect>
#include <QSize>

#include "ui/text_drawing.h"

namespace marvok::ui {

// Fixed places on the main window's surface (left, top, right, bottom).
inline constexpr QSize kMainWindowSize{550, 730};
inline const QRect kTitleArea = edges(125, 15, 425, 35);
inline const QRect kCloseArea = edges(510, 10, 540, 40);
inline const QRect kDragArea = edges(50, 0, 500, 100);
inline const QRect kVoiceHelpArea = edges(15, 8, 47, 40);
inline const QRect kChannelPanelArea = edges(10, 80, 190, 190);
inline const QRect kNetworkArea = edges(375, 335, 480, 440);
inline const QRect kCountdownArea = edges(455, 270, 510, 285);
inline const QRect kPictureArea = edges(350, 450, 500, 600);
inline const QRect kDocumentationArea = edges(315, 610, 345, 640);
inline const QRect kCreditArea = edges(390, 610, 535, 650);
inline const QRect kBottomFrame = edges(10, 650, 540, 720);
inline const QRect kBannerFrame = edges(8, 43, 542, 67);
inline const QRect kBannerArea = edges(10, 45, 540, 65);
inline const QRect kStatusTextArea = edges(15, 655, 535, 715);
inline const QRect kCodecLabelArea = edges(334, 179, 384, 194);
// "AUDIO LEFT", the codec label and "AUDIO RIGHT", under the level meters.
inline const QRect kMeterLabelsArea = edges(240, 177, 520, 197);
// Everything the status panel draws: labels, knobs with their dots and labels, icons.
inline const QRect kStatusPanelArea = edges(10, 170, 300, 310);
// Everything the light panel and the ring draw, labels included.
inline const QRect kStatusLightsArea = edges(295, 215, 545, 310);
inline const QRect kNetworkRingArea = edges(370, 330, 490, 445);

// Where a window of `window` size sits centred on a screen of `screen` size.
inline QPoint centred_top_left(QSize screen, QSize window) {
  return {screen.width() / 2 - window.width() / 2, screen.height() / 2 - window.height() / 2};
}

}  // namespace marvok::ui
