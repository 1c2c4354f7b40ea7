#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>

class QPainter;

namespace marvok::ui {

// Draws one line of text with its top-left corner at (x, y) over a filled
// background the size of the text. Returns the area it covered.
QRect draw_text_at(QPainter& painter, int x, int y, const QString& text, const QFont& font, std::uint32_t text_colorref,
                   std::uint32_t background_colorref);

// Draws one line of text centred both ways in `box`, over a filled background
// the size of the text (clipped to the box).
void draw_text_centred(QPainter& painter, const QRect& box, const QString& text, const QFont& font,
                       std::uint32_t text_colorref, std::uint32_t background_colorref);

// A rectangle given by its left, top, right and bottom edges, right and bottom excluded.
inline QRect edges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

}  // namespace marvok::ui
