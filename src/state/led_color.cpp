#include "state/led_color.h"

namespace marvok {

std::optional<LedColor> led_color_of(LedColor cell_value) {
  const auto code = static_cast<std::int32_t>(cell_value);
  if (code < static_cast<std::int32_t>(LedColor::Red) || code > static_cast<std::int32_t>(LedColor::DarkBlue))
    return std::nullopt;
  return cell_value;
}

const char* led_image_name(LedColor color) {
  switch (color) {
    case LedColor::Red: return "LedRed.bmp";
    case LedColor::DarkRed: return "LedDarkRed.bmp";
    case LedColor::Green: return "LedGreen.bmp";
    case LedColor::Yellow: return "LedYellow.bmp";
    case LedColor::Blue: return "LedBlue.bmp";
    case LedColor::DarkBlue: return "LedDarkBlue.bmp";
  }
  return "";
}

}  // namespace marvok
