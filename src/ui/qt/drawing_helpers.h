#pragma once

#include <QImage>
#include <QRect>
#include <QString>

class QPainter;

namespace marvok::ui {

// Picture drawing the Qt canvas is made of, and the programs' icons.

// Draws `image` at its own size with (x, y) its top-left, leaving pure black pixels out.
void TransparentImage(QPainter& painter, const QImage& image, int x, int y);

// Draws `image` smoothly scaled to fill the width × height area at (x, y).
void StretchImage(QPainter& painter, const QImage& image, int x, int y, int width, int height);

// `image` turned clockwise by `angle_degrees` about its centre, kept at its size:
// corners that leave it are cut off and uncovered pixels are opaque black.
QImage RotateImage(const QImage& image, double angle_degrees);

// Draws the 64 × 64 theme icon named after the executable's file name at (50, y)
// over the window colour. Only index 0 exists. Returns whether an icon was drawn.
bool DrawExeIcon(QPainter& painter, int icon_index, const QString& executable, int y);

}  // namespace marvok::ui
