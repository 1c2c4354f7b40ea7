#pragma once

#include "screen/geometry.h"

namespace marvok::screen {

// Fixed places on the main window's surface (left, top, right, bottom).
inline constexpr Size kMainWindowSize{550, 730};
inline constexpr Rect kTitleArea = Rect::edges(125, 15, 425, 35);
inline constexpr Rect kCloseArea = Rect::edges(510, 10, 540, 40);
inline constexpr Rect kDragArea = Rect::edges(50, 0, 500, 100);
inline constexpr Rect kVoiceHelpArea = Rect::edges(15, 8, 47, 40);
inline constexpr Rect kChannelPanelArea = Rect::edges(10, 80, 190, 190);
inline constexpr Rect kNetworkArea = Rect::edges(375, 335, 480, 440);
inline constexpr Rect kCountdownArea = Rect::edges(455, 270, 510, 285);
inline constexpr Rect kPictureArea = Rect::edges(350, 450, 500, 600);
inline constexpr Rect kDocumentationArea = Rect::edges(315, 610, 345, 640);
inline constexpr Rect kCreditArea = Rect::edges(390, 610, 535, 650);
inline constexpr Rect kBottomFrame = Rect::edges(10, 650, 540, 720);
inline constexpr Rect kBannerFrame = Rect::edges(8, 43, 542, 67);
inline constexpr Rect kBannerArea = Rect::edges(10, 45, 540, 65);
inline constexpr Rect kStatusTextArea = Rect::edges(15, 655, 535, 715);
inline constexpr Rect kCodecLabelArea = Rect::edges(334, 179, 384, 194);
// "AUDIO LEFT", the codec label and "AUDIO RIGHT", under the level meters.
inline constexpr Rect kMeterLabelsArea = Rect::edges(240, 177, 520, 197);
// Everything the status panel draws: labels, knobs with their dots and labels, icons.
inline constexpr Rect kStatusPanelArea = Rect::edges(10, 170, 300, 310);
// Everything the light panel and the ring draw, labels included.
inline constexpr Rect kStatusLightsArea = Rect::edges(295, 215, 545, 310);
inline constexpr Rect kNetworkRingArea = Rect::edges(370, 330, 490, 445);
// The two focus lights either side of the title.
inline constexpr Rect kFocusLightsArea{120, 13, 310, 30};

// Where a window of `window` size sits centred on a screen of `screen` size.
constexpr Point centred_top_left(Size screen, Size window) {
  return {screen.width / 2 - window.width / 2, screen.height / 2 - window.height / 2};
}

}  // namespace marvok::screen
