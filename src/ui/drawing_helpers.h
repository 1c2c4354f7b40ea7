#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <string_view>

class QPainter;

namespace marvok::ui {

// Drawing shared by every panel of the main window. Colours are 0x00BBGGRR.

// Draws `image` at its own size with (x, y) its top-left, leaving pure black pixels out.
void TransparentImage(QPainter& painter, const QImage& image, int x, int y);

// Draws `image` smoothly scaled to fill the width × height area at (x, y).
void StretchImage(QPainter& painter, const QImage& image, int x, int y, int width, int height);

// `image` turned clockwise by `angle_degrees` about its centre, kept at its size:
// corners that leave it are cut off and uncovered pixels are opaque black.
QImage RotateImage(const QImage& image, double angle_degrees);

// A white 14-pixel label over `background_colorref` at (x, y). Returns the area covered.
QRect DrawLabel(QPainter& painter, const QString& text, int x, int y, std::uint32_t background_colorref);

// 20-pixel text in `colorref` with its top-left at (x, y), over what is already there.
void DrawUtf8Text(QPainter& painter, std::string_view utf8, int x, int y, std::uint32_t colorref);

// Draws the 64 × 64 theme icon named after the executable's file name at (50, y)
// over the window colour. Only index 0 exists. Returns whether an icon was drawn.
bool DrawExeIcon(QPainter& painter, int icon_index, const QString& executable, int y);

}  // namespace marvok::ui
