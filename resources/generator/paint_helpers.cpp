#include "paint_helpers.h"

#include <QRadialGradient>

namespace {
// Anti-aliased edges fainter than this become key colour rather than a dark halo.
constexpr int kKeyAlphaThreshold = 48;
constexpr QRgb kSafeDark = 0xff101010;
}  // namespace

QImage transparent_canvas(int width_px, int height_px) {
  QImage image(width_px, height_px, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QImage flatten_for_black_key(const QImage& art) {
  const QImage source = art.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QImage out(source.size(), QImage::Format_RGB32);
  for (int y = 0; y < source.height(); ++y) {
    const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < source.width(); ++x) {
      // A premultiplied pixel with its alpha forced opaque is that pixel composited on black.
      const QRgb over_black = in[x] | 0xff000000;
      if (qAlpha(in[x]) < kKeyAlphaThreshold) {
        dst[x] = 0xff000000;
      } else if (over_black == 0xff000000) {
        dst[x] = kSafeDark;  // Solid subject pixels must never read as transparent.
      } else {
        dst[x] = over_black;
      }
    }
  }
  return out;
}

void smooth_painting(QPainter& painter) {
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
}

QFont ui_font(double pixel_size, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(int(pixel_size));
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

void draw_glossy_disc(QPainter& painter, QPointF centre, double radius, const QColor& base) {
  QRadialGradient body(centre, radius, centre - QPointF(radius * 0.35, radius * 0.4));
  body.setColorAt(0.0, base.lighter(170));
  body.setColorAt(0.55, base);
  body.setColorAt(1.0, base.darker(230));
  painter.setPen(Qt::NoPen);
  painter.setBrush(body);
  painter.drawEllipse(centre, radius, radius);
  draw_top_gloss(painter, centre, radius, 0.55);
}

void draw_top_gloss(QPainter& painter, QPointF centre, double radius, double strength) {
  const QRectF spot(centre.x() - radius * 0.62, centre.y() - radius * 0.88, radius * 1.24, radius * 0.8);
  QLinearGradient gloss(spot.topLeft(), spot.bottomLeft());
  gloss.setColorAt(0.0, QColor(255, 255, 255, int(255 * strength)));
  gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
  painter.setPen(Qt::NoPen);
  painter.setBrush(gloss);
  painter.drawEllipse(spot);
}

void draw_glow(QPainter& painter, QPointF centre, double radius, const QColor& colour) {
  QRadialGradient glow(centre, radius);
  QColor inner = colour;
  QColor outer = colour;
  outer.setAlpha(0);
  glow.setColorAt(0.0, inner);
  glow.setColorAt(1.0, outer);
  painter.setPen(Qt::NoPen);
  painter.setBrush(glow);
  painter.drawEllipse(centre, radius, radius);
}
