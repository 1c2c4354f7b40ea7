#include "ui/status_panel.h"

#include <QPainter>
#include <cmath>
#include <numbers>

#include "ui/colorref.h"
#include "ui/drawing_helpers.h"
#include "ui/fonts.h"
#include "ui/main_window_layout.h"

namespace marvok::ui {

namespace {

constexpr int kControlTop = 220;
constexpr int kDotRadius = 4;
constexpr int kDotDistance = 30;

void draw_codec_label(QPainter& painter, StreamFormat format, std::uint32_t background) {
  painter.fillRect(kCodecLabelArea, from_colorref(background));
  const char* text = format == StreamFormat::Pcm ? "PCM" : format == StreamFormat::Opus ? "OPUS" : nullptr;
  if (text) draw_text_centred(painter, kCodecLabelArea, QString::fromLatin1(text), arial_font(12), kYellow, background);
}

}  // namespace

QRect draw_control(QPainter& painter, const QImage& image, double angle_degrees, int x, int dots, double dot_step,
                   const QString& label, std::uint32_t background) {
  QImage turned = RotateImage(image, angle_degrees);
  const QImage& drawn = turned.isNull() ? image : turned;
  TransparentImage(painter, drawn, x, kControlTop);

  const int cx = x + image.width() / 2, cy = kControlTop + image.height() / 2;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(from_colorref(kRed), 1));
  int drawn_dots = 0;
  for (double theta = 2 * std::numbers::pi; theta > 0 && drawn_dots < dots; theta -= dot_step, ++drawn_dots) {
    painter.setBrush(drawn_dots == 0 ? QColor(0, 0, 255) : QColor(0, 255, 0));
    const QPoint centre(cx + static_cast<int>(kDotDistance * std::sin(theta)),
                        cy + static_cast<int>(kDotDistance * std::cos(theta)));
    painter.drawEllipse(centre, kDotRadius, kDotRadius);
  }
  painter.restore();

  DrawLabel(painter, label, x + 8, 290, background);
  return QRect(x, kControlTop, image.width(), image.height());
}

std::optional<ControlRects> draw_status_panel(QPainter& painter, const MainWindowImages& images,
                                              const StatusPanelValues& values, std::uint32_t background) {
  if (images.knob.isNull()) return std::nullopt;
  DrawLabel(painter, QStringLiteral("AUDIO LEFT"), 245, 179, background);
  DrawLabel(painter, QStringLiteral("AUDIO RIGHT"), 415, 179, background);

  // The controls turn over what they drew last time: clear behind them first.
  painter.fillRect(edges(10, kControlTop - 15, 300, 305), from_colorref(background));
  ControlRects rects;
  rects.params = draw_control(painter, images.params_button, 180.0, 25, 8, std::numbers::pi / 4,
                              QStringLiteral("PARAMS"), background);
  rects.mic = draw_control(painter, images.knob, knob_angle(values.mic_level), 115, 7, 2 * std::numbers::pi / 7,
                           QStringLiteral("MIC GAIN"), background);
  rects.volume = draw_control(painter, images.knob, knob_angle(values.volume_level), 205, 7, 2 * std::numbers::pi / 7,
                              QStringLiteral("VOLUME"), background);

  StretchImage(painter, images.doc_icon, 315, 610, 30, 30);
  StretchImage(painter, images.voice_help_icon, 15, 8, 32, 32);
  draw_codec_label(painter, values.received_format, background);
  return rects;
}

}  // namespace marvok::ui
