#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

namespace marvok {

// Colour codes held by a status light. Any other value in a cell is not drawn.
enum class LedColor : std::int32_t {
  Red = 1,
  DarkRed = 2,
  Green = 3,
  Yellow = 4,
  Blue = 5,
  DarkBlue = 6,
};

// A status light: written by its owner thread, read by the light panel.
using LedCell = std::atomic<LedColor>;

inline constexpr int kLedColorCount = 6;

// The colour a cell value stands for, or nothing for a value that is not drawn.
std::optional<LedColor> led_color_of(LedColor cell_value);

// Name of the light's image inside the light directory file ("LedRed.bmp", ...).
const char* led_image_name(LedColor color);

inline void set_led(LedCell& cell, LedColor color) { cell.store(color, std::memory_order_relaxed); }

}  // namespace marvok
