#pragma once

#include <QColor>
#include <cstdint>

namespace marvok::ui {

// Colours are kept as 0x00BBGGRR values, the form the member's parameters use.
inline QColor from_colorref(std::uint32_t colorref) {
  return QColor(static_cast<int>(colorref & 0xFF), static_cast<int>(colorref >> 8 & 0xFF),
                static_cast<int>(colorref >> 16 & 0xFF));
}

inline std::uint32_t to_colorref(const QColor& colour) {
  return static_cast<std::uint32_t>(colour.red()) | static_cast<std::uint32_t>(colour.green()) << 8 |
         static_cast<std::uint32_t>(colour.blue()) << 16;
}

inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kYellow = 0x00FFFF;
inline constexpr std::uint32_t kRed = 0x0000FF;

}  // namespace marvok::ui
