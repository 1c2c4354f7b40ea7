#pragma once

#include <cstdint>

namespace marvok::screen {

// An opaque colour. The member's parameters and the web service keep colours
// as 0x00BBGGRR values, which `from_colorref` and `colorref` read and write.
struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  static constexpr Colour from_colorref(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8 & 0xFF),
            static_cast<std::uint8_t>(value >> 16 & 0xFF)};
  }
  constexpr std::uint32_t colorref() const {
    return static_cast<std::uint32_t>(red) | static_cast<std::uint32_t>(green) << 8 |
           static_cast<std::uint32_t>(blue) << 16;
  }
  // The 0x00RRGGBB pixel of a 32-bit surface row.
  constexpr std::uint32_t pixel() const {
    return static_cast<std::uint32_t>(red) << 16 | static_cast<std::uint32_t>(green) << 8 | blue;
  }

  friend constexpr bool operator==(Colour, Colour) = default;
};

inline constexpr Colour kBlack{0, 0, 0};
inline constexpr Colour kWhite{255, 255, 255};
inline constexpr Colour kYellow{255, 255, 0};
inline constexpr Colour kRed{255, 0, 0};
inline constexpr Colour kGreen{0, 255, 0};
inline constexpr Colour kBlue{0, 0, 255};

// Colours the system chooses, which a front end reads from its theme.
enum class SystemColour {
  Window,        // behind a program's icon
  Menu,          // behind a device's icon
  ScrollBar,     // behind the countdown
  ButtonShadow,  // the outline of a colour swatch
  Content,       // behind what a document window shows, white in most themes
};

}  // namespace marvok::screen
