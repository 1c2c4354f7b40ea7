#include "ui/text_panels.h"

#include <QPainter>
#include <QPalette>

#include "ui/colorref.h"
#include "ui/fonts.h"
#include "ui/main_window_layout.h"
#include "ui/text_drawing.h"

namespace marvok::ui {

namespace {

constexpr std::uint32_t kBannerTextColour = 0x47FF14;
// The system's scroll-bar grey, under the count.
const QColor kCountdownGround(200, 200, 200);

}  // namespace

void draw_help_banner(QPainter& painter, const QString& info_line, std::uint32_t background) {
  painter.save();
  painter.setPen(QPen(from_colorref(kYellow), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(kBannerFrame.adjusted(0, 0, -1, -1));
  painter.restore();
  painter.fillRect(kBannerArea, Qt::black);
  draw_text_centred(painter, kBannerArea, info_line, arial_font(17), kBannerTextColour, background);
}

void draw_status_text(QPainter& painter, const QString& status_text, std::uint32_t background) {
  painter.fillRect(kStatusTextArea, from_colorref(background));
  draw_text_centred(painter, kBottomFrame, status_text, default_font(), kYellow, background);
}

QString format_countdown(int seconds) {
  return QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

void draw_countdown(QPainter& painter, int seconds_left, std::uint32_t background) {
  painter.fillRect(kCountdownArea, kCountdownGround);
  draw_text_at(painter, kCountdownArea.left(), kCountdownArea.top(), format_countdown(seconds_left), default_font(),
               kYellow, background);
  draw_text_at(painter, 455, 293, QStringLiteral("TIME LEFT"), arial_font(14), kWhite, background);
}

}  // namespace marvok::ui
