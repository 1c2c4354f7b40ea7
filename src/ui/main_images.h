#pragma once

#include <QImage>
#include <array>

#include "state/led_color.h"

namespace marvok::ui {

inline constexpr int kChannelCount = 11;

// Status-light pictures by colour code 1 to 6; null when the light file lacks one.
using LedImages = std::array<QImage, kLedColorCount>;

// The pictures of the main window, loaded by start-up; main thread only.
struct MainWindowImages {
  QImage knob;             // "btn-fleche.bmp"
  QImage params_button;    // "btn-param.bmp"
  QImage doc_icon;         // "doc_img.bmp"
  QImage voice_help_icon;  // "synthe_1.bmp"
  // Picture 0 is the CHANNEL panel's background, picture n that of channel n.
  std::array<QImage, kChannelCount> channel;
  LedImages leds;

  const QImage& led(LedColor color) const { return leds[static_cast<std::size_t>(color) - 1]; }
};

}  // namespace marvok::ui
