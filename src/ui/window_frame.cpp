#include "ui/window_frame.h"

#include <QPainter>
#include <QPainterPath>

#include "state/session_state.h"
#include "ui/colorref.h"
#include "ui/fonts.h"
#include "ui/main_window_layout.h"
#include "ui/text_drawing.h"

namespace marvok::ui {

namespace {

// A rounded rectangle outlined by a pen centred on its edge, the corners
// rounded by an ellipse of `corner` × `corner` pixels.
void draw_rounded_frame(QPainter& painter, const QRect& box, int corner, int pen_width, std::uint32_t background) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(from_colorref(kYellow), pen_width));
  painter.setBrush(from_colorref(background));
  painter.drawRoundedRect(QRectF(box).adjusted(0, 0, -1, -1), corner / 2.0, corner / 2.0);
  painter.restore();
}

}  // namespace

void draw_title(QPainter& painter, std::uint32_t background) {
  draw_text_centred(painter, kTitleArea, QStringLiteral("MARVOK"), arial_font(30), kYellow, background);
}

void draw_close_cross(QPainter& painter, const DisplayState& display, CrossHover hover) {
  if (display.CloseCrossShown.load(std::memory_order_relaxed) == CrossVisibility::Hidden) return;
  const QRect& area = kCloseArea;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(from_colorref(hover == CrossHover::Inside ? kYellow : kRed), 4, Qt::SolidLine, Qt::RoundCap));
  const int left = area.left(), top = area.top(), right = area.left() + area.width();
  painter.drawLine(left + 10, top + 10, left + 20, top + 20);
  painter.drawLine(right - 10, top + 10, left + 10, top + 20);
  painter.restore();
}

void paint_window_frame(QPainter& painter, const DisplayState& display, CrossHover hover) {
  const std::uint32_t background = display.BackgroundColor.load(std::memory_order_relaxed);
  draw_rounded_frame(painter, QRect(QPoint(0, 0), kMainWindowSize), 20, 4, background);
  draw_rounded_frame(painter, kBottomFrame, 20, 2, background);
  draw_title(painter, background);
  draw_close_cross(painter, display, hover);
  const QFont version_font = arial_font(14);
  draw_text_at(painter, 430, 605, QStringLiteral("Version "), version_font, kWhite, background);
  draw_text_at(painter, 480, 605, QString::fromLatin1(kClientVersion), version_font, kWhite, background);
  draw_text_centred(painter, kCreditArea, QStringLiteral("Équipe Marvok"), default_font(), kYellow, background);
}

}  // namespace marvok::ui
