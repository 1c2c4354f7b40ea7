#include "ui/text_drawing.h"

#include <QFontMetrics>
#include <QPainter>

#include "ui/colorref.h"

namespace marvok::ui {

QRect draw_text_at(QPainter& painter, int x, int y, const QString& text, const QFont& font, std::uint32_t text_colorref,
                   std::uint32_t background_colorref) {
  const QFontMetrics metrics(font);
  const QRect area(x, y, metrics.horizontalAdvance(text), metrics.height());
  painter.save();
  painter.fillRect(area, from_colorref(background_colorref));
  painter.setFont(font);
  painter.setPen(from_colorref(text_colorref));
  painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  painter.restore();
  return area;
}

void draw_text_centred(QPainter& painter, const QRect& box, const QString& text, const QFont& font,
                       std::uint32_t text_colorref, std::uint32_t background_colorref) {
  const QFontMetrics metrics(font);
  const QSize size(metrics.horizontalAdvance(text), metrics.height());
  const QRect area(box.left() + (box.width() - size.width()) / 2, box.top() + (box.height() - size.height()) / 2,
                   size.width(), size.height());
  painter.save();
  painter.setClipRect(box);
  painter.fillRect(area, from_colorref(background_colorref));
  painter.setFont(font);
  painter.setPen(from_colorref(text_colorref));
  painter.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
  painter.restore();
}

}  // namespace marvok::ui
