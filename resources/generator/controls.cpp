// Buttons, small icons, status lights and the application icon.
#include <QConicalGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

#include "paint_helpers.h"
#include "pictures.h"

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

QPointF polar(QPointF centre, double radius, double degrees) {
  return centre +
         QPointF(radius * std::cos(degrees * kRadiansPerDegree), radius * std::sin(degrees * kRadiansPerDegree));
}

void draw_metal_bezel(QPainter& p, QPointF centre, double radius) {
  QLinearGradient ring(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
  ring.setColorAt(0.0, rgb(0xb8bec8));
  ring.setColorAt(0.5, rgb(0x5a606a));
  ring.setColorAt(1.0, rgb(0x24272d));
  p.setPen(QPen(rgb(0x16181c), 1));
  p.setBrush(ring);
  p.drawEllipse(centre, radius, radius);
}

// The ring is lit evenly all round, because the knob is shown at any rotation.
void draw_turned_ring(QPainter& p, QPointF centre, double radius) {
  QRadialGradient ring(centre, radius);
  ring.setColorAt(0.75, rgb(0x9aa0aa));
  ring.setColorAt(0.88, rgb(0x6a707a));
  ring.setColorAt(1.0, rgb(0x2a2d33));
  p.setPen(QPen(rgb(0x16181c), 1));
  p.setBrush(ring);
  p.drawEllipse(centre, radius, radius);
}

QPainterPath gear_outline(QPointF centre, int teeth, double outer_radius, double root_radius, double hole_radius) {
  QPainterPath gear;
  const double step_degrees = 360.0 / teeth;
  for (int i = 0; i < teeth; ++i) {
    const double degrees = i * step_degrees;
    const QPointF points[] = {polar(centre, root_radius, degrees - step_degrees * 0.5),
                              polar(centre, root_radius, degrees - step_degrees * 0.28),
                              polar(centre, outer_radius, degrees - step_degrees * 0.17),
                              polar(centre, outer_radius, degrees + step_degrees * 0.17),
                              polar(centre, root_radius, degrees + step_degrees * 0.28)};
    for (const QPointF& point : points) {
      if (gear.elementCount() == 0) {
        gear.moveTo(point);
      } else {
        gear.lineTo(point);
      }
    }
  }
  gear.closeSubpath();
  gear.addEllipse(centre, hole_radius, hole_radius);
  gear.setFillRule(Qt::OddEvenFill);
  return gear;
}

void draw_led(QPainter& p, const QColor& colour, bool lit) {
  const QPointF centre(8, 8);
  QRadialGradient rim(centre, 7.8);
  rim.setColorAt(0.7, rgb(0x4a4e56));
  rim.setColorAt(1.0, rgb(0x1a1c20));
  p.setPen(Qt::NoPen);
  p.setBrush(rim);
  p.drawEllipse(centre, 7.6, 7.6);

  QRadialGradient body(centre, 6.2, centre + QPointF(0.6, 1.2));
  body.setColorAt(0.0, lit ? colour.lighter(150) : colour.lighter(115));
  body.setColorAt(0.6, colour);
  body.setColorAt(1.0, colour.darker(lit ? 190 : 160));
  p.setBrush(body);
  p.drawEllipse(centre, 6.0, 6.0);

  QRadialGradient spot(QPointF(6.6, 5.4), 3.2);
  spot.setColorAt(0.0, QColor(255, 255, 255, lit ? 235 : 120));
  spot.setColorAt(1.0, QColor(255, 255, 255, 0));
  p.setBrush(spot);
  p.drawEllipse(QPointF(6.6, 5.4), 3.4, 2.6);
}

}  // namespace

QImage draw_level_knob() {
  QImage art = transparent_canvas(50, 50);
  QPainter p(&art);
  smooth_painting(p);
  const QPointF centre(25, 25);
  draw_turned_ring(p, centre, 23.5);

  // Grip notches go all round, so the knob reads the same at any rotation.
  p.setPen(QPen(rgb(0x2a2d33), 1.4, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 30; ++i) p.drawLine(polar(centre, 19.5, i * 12.0), polar(centre, 22.5, i * 12.0));

  QRadialGradient cap(centre, 18);
  cap.setColorAt(0.0, rgb(0xe4e8ee));
  cap.setColorAt(0.7, rgb(0x9aa1ac));
  cap.setColorAt(1.0, rgb(0x505660));
  p.setPen(QPen(rgb(0x30333a), 1));
  p.setBrush(cap);
  p.drawEllipse(centre, 17.5, 17.5);
  p.setBrush(Qt::NoBrush);
  // The cap has four faint turned grooves, at radii 4, 7, 10 and 13.
  for (int groove = 0; groove < 4; ++groove) {
    const double radius = 4 + groove * 3.0;
    p.setPen(QPen(QColor(255, 255, 255, 40), 0.8));
    p.drawEllipse(centre, radius, radius);
  }

  // The pointer is a bright yellow line over a dark shadow stroke, ending in a dot.
  const QPointF tip(25, 5.5);
  p.setPen(QPen(rgb(0x201810), 5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre, tip);
  p.setPen(QPen(rgb(0xffd01a), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre, tip);
  p.setPen(Qt::NoPen);
  p.setBrush(rgb(0xfff090));
  p.drawEllipse(tip, 2.2, 2.2);
  p.setBrush(rgb(0xffd01a));
  p.drawEllipse(centre, 3.2, 3.2);
  p.end();
  return flatten_for_black_key(art);
}

QImage draw_params_button() {
  QImage art = transparent_canvas(50, 50);
  QPainter p(&art);
  smooth_painting(p);
  const QPointF centre(25, 25);
  draw_metal_bezel(p, centre, 23.5);
  draw_glossy_disc(p, centre, 19.5, rgb(0x2c5696));

  const QPainterPath gear = gear_outline(centre, 8, 14.5, 10.5, 4.2);
  p.setPen(QPen(rgb(0x6a4c08), 1.2));
  QLinearGradient gold(0, 10, 0, 40);
  gold.setColorAt(0.0, rgb(0xffec8a));
  gold.setColorAt(0.5, rgb(0xffc81e));
  gold.setColorAt(1.0, rgb(0xc08206));
  p.setBrush(gold);
  p.drawPath(gear);
  draw_top_gloss(p, centre, 19.5, 0.35);
  p.end();
  // The client always shows this button turned by 180 degrees, so it is stored that way round.
  return flatten_for_black_key(art).mirrored(true, true);
}

QImage draw_documentation_icon() {
  QImage art = transparent_canvas(64, 64);
  QPainter p(&art);
  smooth_painting(p);

  QPainterPath cover;
  cover.moveTo(3, 17);
  cover.quadTo(18, 12, 32, 20);
  cover.quadTo(46, 12, 61, 17);
  cover.lineTo(61, 55);
  cover.quadTo(46, 50, 32, 58);
  cover.quadTo(18, 50, 3, 55);
  cover.closeSubpath();
  p.setPen(QPen(rgb(0x122450), 1.5));
  p.setBrush(rgb(0x2a5cb8));
  p.drawPath(cover);

  for (int side : {-1, 1}) {
    QPainterPath page;
    page.moveTo(32, 18);
    page.quadTo(32 + side * 13, 9, 32 + side * 27, 13);
    page.lineTo(32 + side * 27, 51);
    page.quadTo(32 + side * 13, 47, 32, 55);
    page.closeSubpath();
    QLinearGradient paper(32, 0, 32 + side * 27, 0);
    paper.setColorAt(0.0, rgb(0xc8bea6));
    paper.setColorAt(0.25, rgb(0xf6f1e2));
    paper.setColorAt(1.0, rgb(0xfffdf6));
    p.setPen(QPen(rgb(0x8c8470), 1));
    p.setBrush(paper);
    p.drawPath(page);

    p.setPen(QPen(rgb(0x6a7c9c), 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int line = 0; line < 6; ++line) {
      const double y = 20 + line * 5.2;
      const double end = line == 5 ? 14 : 22;
      QPainterPath text;
      text.moveTo(32 + side * 4, y + 1.5);
      text.quadTo(32 + side * 12, y - 2.5, 32 + side * end, y - 1.5);
      p.drawPath(text);
    }
  }
  // A red ribbon bookmark hangs below the spine.
  p.setPen(Qt::NoPen);
  p.setBrush(rgb(0xd82830));
  p.drawPolygon(QPolygonF({QPointF(34, 50), QPointF(39, 49), QPointF(39, 62), QPointF(36.5, 59), QPointF(34, 62)}));
  p.end();
  return flatten_for_black_key(art);
}

QImage draw_voice_help_icon() {
  QImage art = transparent_canvas(64, 64);
  QPainter p(&art);
  smooth_painting(p);

  QLinearGradient metal(0, 20, 0, 44);
  metal.setColorAt(0.0, rgb(0xdce2ea));
  metal.setColorAt(1.0, rgb(0x68707c));
  p.setPen(QPen(rgb(0x2a2e36), 1.5));
  p.setBrush(metal);
  p.drawRoundedRect(QRectF(6, 23, 13, 18), 2.5, 2.5);

  QLinearGradient cone(0, 10, 0, 54);
  cone.setColorAt(0.0, rgb(0xffe060));
  cone.setColorAt(1.0, rgb(0xd08a10));
  p.setBrush(cone);
  p.drawPolygon(QPolygonF({QPointF(19, 24), QPointF(33, 11), QPointF(33, 53), QPointF(19, 40)}));

  const QColor wave_colours[] = {rgb(0x6cf0b4), rgb(0x44ccec), rgb(0x3a8cf0)};
  for (int i = 0; i < 3; ++i) {
    const double radius = 9 + i * 8.5;
    p.setPen(QPen(wave_colours[i], 4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(33 - radius, 32 - radius, 2 * radius, 2 * radius), -42 * 16, 84 * 16);
  }
  p.end();
  return flatten_for_black_key(art);
}

std::vector<std::pair<QString, QImage>> draw_status_leds() {
  struct LedStyle {
    const char* name;
    QColor colour;
    bool lit;
  };
  const LedStyle styles[] = {
      {"LedRed.bmp", rgb(0xf2241e), true},       {"LedGreen.bmp", rgb(0x2cdc3a), true},
      {"LedBlue.bmp", rgb(0x2e7cff), true},      {"LedDarkRed.bmp", rgb(0x5a1616), false},
      {"LedDarkBlue.bmp", rgb(0x16225c), false}, {"LedYellow.bmp", rgb(0xffd41c), true},
  };
  std::vector<std::pair<QString, QImage>> leds;
  for (const LedStyle& style : styles) {
    QImage art = transparent_canvas(16, 16);
    QPainter p(&art);
    smooth_painting(p);
    draw_led(p, style.colour, style.lit);
    p.end();
    leds.emplace_back(QString::fromLatin1(style.name), flatten_for_black_key(art));
  }
  return leds;
}

QImage draw_app_icon(int size_px) {
  QImage icon = transparent_canvas(size_px, size_px);
  QPainter p(&icon);
  smooth_painting(p);
  // The icon is drawn on a 256-unit grid, so one drawing serves every size.
  p.scale(size_px / 256.0, size_px / 256.0);
  const QPointF centre(128, 128);
  const QColor yellow(0xff, 0xcc, 0x00);

  QRadialGradient badge(centre, 124, QPointF(100, 80));
  badge.setColorAt(0.0, rgb(0x444a56));
  badge.setColorAt(1.0, rgb(0x101216));
  p.setPen(QPen(yellow, 10));
  p.setBrush(badge);
  p.drawEllipse(centre, 117, 117);

  QLinearGradient gold(100, 0, 156, 0);
  gold.setColorAt(0.0, rgb(0xffe870));
  gold.setColorAt(1.0, rgb(0xd89800));
  p.setPen(QPen(rgb(0x7a5800), 3));
  p.setBrush(gold);
  p.drawRoundedRect(QRectF(102, 48, 52, 100), 26, 26);
  p.setPen(QPen(rgb(0xa87800), 4, Qt::SolidLine, Qt::RoundCap));
  for (int y = 72; y <= 124; y += 13) p.drawLine(QPointF(112, y), QPointF(144, y));

  p.setPen(QPen(yellow, 11, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(84, 76, 88, 88), 180 * 16, 180 * 16);
  p.drawLine(QPointF(128, 164), QPointF(128, 194));
  p.drawLine(QPointF(102, 196), QPointF(154, 196));

  for (int i = 0; i < 2; ++i) {
    const double radius = 66 + i * 22;
    QColor wave = yellow;
    wave.setAlpha(i == 0 ? 255 : 170);
    p.setPen(QPen(wave, 9, Qt::SolidLine, Qt::RoundCap));
    const QRectF box(centre.x() - radius, 100 - radius, 2 * radius, 2 * radius);
    p.drawArc(box, -32 * 16, 64 * 16);
    p.drawArc(box, 148 * 16, 64 * 16);
  }
  draw_top_gloss(p, centre, 112, 0.18);
  p.end();
  return icon;
}
