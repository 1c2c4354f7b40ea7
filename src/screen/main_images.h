#pragma once

#include <array>
#include <cstddef>

#include "state/led_color.h"
#include "state/picture.h"

namespace marvok::screen {

inline constexpr int kChannelCount = 11;

// Status-light pictures by colour code 1 to 6; empty when the light file lacks one.
using LedImages = std::array<Picture, kLedColorCount>;

// The pictures of the main window, loaded by start-up; main thread only.
struct MainWindowImages {
  Picture knob;             // "btn-fleche.bmp"
  Picture params_button;    // "btn-param.bmp"
  Picture doc_icon;         // "doc_img.bmp"
  Picture voice_help_icon;  // "synthe_1.bmp"
  // Picture 0 is the CHANNEL panel's background, picture n that of channel n.
  std::array<Picture, kChannelCount> channel;
  LedImages leds;

  const Picture& led(LedColor color) const { return leds[static_cast<std::size_t>(color) - 1]; }
};

}  // namespace marvok::screen
