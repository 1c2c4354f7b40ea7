// The CHANNEL panel background and one pictogram per channel.
#include <QPainterPath>
#include <QRadialGradient>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>

#include "paint_helpers.h"
#include "pictures.h"

namespace {

constexpr int kPictureWidthPx = 100;
constexpr int kPictureHeightPx = 64;
constexpr double kGridStepPx = 8;
// An invalid colour, so that fill() draws no edge.
const QColor kNoOutline;

QLinearGradient vertical(double top, double bottom, const QColor& from, const QColor& to) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, from);
  g.setColorAt(1, to);
  return g;
}

void fill(QPainter& p, const QPainterPath& path, const QBrush& brush, const QColor& outline, double width = 1.2) {
  p.setPen(outline.isValid() ? QPen(outline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) : QPen(Qt::NoPen));
  p.setBrush(brush);
  p.drawPath(path);
}

QPainterPath polygon_path(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(points));
  path.closeSubpath();
  return path;
}

QPainterPath rect_path(double x, double y, double w, double h, double radius = 0) {
  QPainterPath path;
  path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
  return path;
}

QPainterPath ellipse_path(QPointF c, double rx, double ry) {
  QPainterPath path;
  path.addEllipse(c, rx, ry);
  return path;
}

void stroke(QPainter& p, const QPainterPath& path, const QColor& colour, double width) {
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

void draw_ground(QPainter& p, double left, double right) {
  fill(p, rect_path(left, 57, right - left, 4, 2), vertical(57, 61, rgb(0x6cd050), rgb(0x2a802c)), kNoOutline);
}

QPainterPath heart_path(QPointF c, double size) {
  QPainterPath heart;
  const double s = size / 2;
  heart.moveTo(c.x(), c.y() + s);
  heart.cubicTo(c.x() - s * 1.6, c.y() - s * 0.1, c.x() - s * 0.7, c.y() - s * 1.3, c.x(), c.y() - s * 0.45);
  heart.cubicTo(c.x() + s * 0.7, c.y() - s * 1.3, c.x() + s * 1.6, c.y() - s * 0.1, c.x(), c.y() + s);
  return heart;
}

void draw_house(QPainter& p) {
  fill(p, rect_path(60, 13, 7, 14), rgb(0xa84a30), rgb(0x4a1e12));
  fill(p, rect_path(30, 30, 40, 28), vertical(30, 58, rgb(0xfaeecc), rgb(0xd4b884)), rgb(0x6a5030));
  fill(p, polygon_path({{22, 33}, {50, 9}, {78, 33}}), vertical(9, 33, rgb(0xf05644), rgb(0xa0201a)), rgb(0x5a1410),
       1.5);
  for (double x : {33.0, 60.0}) {
    fill(p, rect_path(x, 37, 8, 8, 1), vertical(37, 45, rgb(0xb4e4ff), rgb(0x4a90d0)), rgb(0x5a3c20));
    p.setPen(QPen(rgb(0x5a3c20), 1));
    p.drawLine(QPointF(x + 4, 37), QPointF(x + 4, 45));
    p.drawLine(QPointF(x, 41), QPointF(x + 8, 41));
  }
  // An open door with warm light spilling out marks the "welcome" channel.
  fill(p, polygon_path({{44, 58}, {56, 58}, {63, 62}, {38, 62}}), QColor(0xff, 0xe2, 0x70, 150), kNoOutline);
  fill(p, rect_path(44, 40, 12, 18), vertical(40, 58, rgb(0xfff4b0), rgb(0xffb830)), rgb(0x5a3c20));
  fill(p, polygon_path({{44, 40}, {38, 43}, {38, 60}, {44, 58}}), vertical(40, 60, rgb(0xb06c34), rgb(0x6a3a18)),
       rgb(0x3a2010));
  draw_ground(p, 20, 80);
}

void draw_church(QPainter& p) {
  const QColor stone_line(0x5a, 0x50, 0x44);
  const QLinearGradient stone = vertical(20, 58, rgb(0xf0e8d8), rgb(0xb0a28a));
  fill(p, rect_path(54, 37, 22, 21), stone, stone_line);
  fill(p, polygon_path({{52, 38}, {65, 27}, {78, 38}}), vertical(27, 38, rgb(0xd05a40), rgb(0x8a3022)), rgb(0x4a1810));
  fill(p, rect_path(40, 22, 14, 36), stone, stone_line);
  fill(p, polygon_path({{38, 23}, {47, 12}, {56, 23}}), vertical(12, 23, rgb(0x8a9cc0), rgb(0x405074)), rgb(0x222a40));
  p.setPen(QPen(rgb(0xffd030), 1.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(47, 6.5), QPointF(47, 12));
  p.drawLine(QPointF(44.8, 8.5), QPointF(49.2, 8.5));
  fill(p, ellipse_path({47, 30}, 4.2, 4.2), rgb(0xfcfaf0), rgb(0x403830));
  p.setPen(QPen(rgb(0x302820), 1, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(47, 30), QPointF(47, 27.2));
  p.drawLine(QPointF(47, 30), QPointF(49.2, 30.8));

  QPainterPath door;
  door.moveTo(61, 58);
  door.lineTo(61, 50);
  door.arcTo(QRectF(61, 46, 8, 8), 180, -180);
  door.lineTo(69, 58);
  door.closeSubpath();
  fill(p, door, rgb(0x7a421c), rgb(0x3a1e0c));
  fill(p, rect_path(45, 40, 4, 7, 2), rgb(0x2a3c6a), kNoOutline);

  // A village fountain stands in the square.
  fill(p, rect_path(18, 51, 18, 7, 2), vertical(51, 58, rgb(0xd8d0c0), rgb(0x908674)), stone_line);
  fill(p, ellipse_path({27, 51}, 9, 2), rgb(0x48b8f0), kNoOutline);
  fill(p, rect_path(26, 40, 2, 11), rgb(0xb8b0a0), kNoOutline);
  QPainterPath jets;
  jets.moveTo(27, 40);
  jets.quadTo(21, 35, 20, 49);
  jets.moveTo(27, 40);
  jets.quadTo(33, 35, 34, 49);
  stroke(p, jets, rgb(0x7cd8ff), 1.6);
  draw_ground(p, 14, 80);
}

void draw_microchip(QPainter& p) {
  const QColor trace(0x3c, 0xd8, 0x74);
  for (int i = 0; i < 5; ++i) {
    const double y = 20 + i * 6;
    QPainterPath left, right;
    left.moveTo(33, y + 1);
    left.lineTo(24, y + 1);
    left.lineTo(18, y + 1 + (i - 2) * 3);
    right.moveTo(67, y + 1);
    right.lineTo(76, y + 1);
    right.lineTo(82, y + 1 + (i - 2) * 3);
    stroke(p, left, trace, 1.4);
    stroke(p, right, trace, 1.4);
    fill(p, ellipse_path({18, y + 1 + (i - 2) * 3}, 2, 2), rgb(0xb4f8c4), rgb(0x1c7a3c), 1);
    fill(p, ellipse_path({82, y + 1 + (i - 2) * 3}, 2, 2), rgb(0xb4f8c4), rgb(0x1c7a3c), 1);
  }
  const QLinearGradient gold = vertical(0, 64, rgb(0xffe680), rgb(0xc88a10));
  for (int i = 0; i < 5; ++i) {
    const double t = 19 + i * 6;
    fill(p, rect_path(27, t, 8, 3.5, 1), gold, kNoOutline);
    fill(p, rect_path(65, t, 8, 3.5, 1), gold, kNoOutline);
    fill(p, rect_path(t + 12, 9, 3.5, 8, 1), gold, kNoOutline);
    fill(p, rect_path(t + 12, 47, 3.5, 8, 1), gold, kNoOutline);
  }
  fill(p, rect_path(33, 15, 34, 34, 3), vertical(15, 49, rgb(0x4a5262), rgb(0x1c2028)), rgb(0x8a94a8));
  fill(p, rect_path(41, 23, 18, 18, 2), vertical(23, 41, rgb(0x5c7cc8), rgb(0x2a3c78)), rgb(0xc8a030), 1.4);
  fill(p, ellipse_path({37.5, 19.5}, 1.6, 1.6), rgb(0x8a94a8), kNoOutline);
  p.setPen(rgb(0xffe680));
  p.setFont(ui_font(8));
  p.drawText(QRectF(41, 23, 18, 18), Qt::AlignCenter, QStringLiteral("MK"));
}

void draw_radio_mast(QPainter& p) {
  const QPointF top(50, 18);
  for (int i = 0; i < 3; ++i) {
    const double r = 8 + i * 6.5;
    QColor wave(0x48, 0xdc, 0xff, 255 - i * 60);
    p.setPen(QPen(wave, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    const QRectF box(top.x() - r, top.y() - r, 2 * r, 2 * r);
    p.drawArc(box, -32 * 16, 64 * 16);
    p.drawArc(box, 148 * 16, 64 * 16);
  }
  // The lattice tower has two legs with alternating red and white braces.
  const auto leg = [&](double t, int side) { return QPointF(50 + side * (1.5 + t * 11), 19 + t * 39); };
  for (int i = 0; i < 6; ++i) {
    const double t0 = i / 6.0, t1 = (i + 1) / 6.0;
    p.setPen(QPen(i % 2 ? rgb(0xf4f4f4) : rgb(0xf0443a), 1.3));
    p.drawLine(leg(t0, -1), leg(t1, 1));
    p.drawLine(leg(t0, 1), leg(t1, -1));
    p.setPen(QPen(i % 2 ? rgb(0xf4f4f4) : rgb(0xe0362c), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(leg(t0, -1), leg(t1, -1));
    p.drawLine(leg(t0, 1), leg(t1, 1));
  }
  draw_glow(p, top, 6, QColor(0xff, 0x60, 0x50, 220));
  fill(p, ellipse_path(top, 2.2, 2.2), rgb(0xffd8d0), kNoOutline);
  fill(p, rect_path(34, 56, 32, 5, 2), vertical(56, 61, rgb(0x9aa4b4), rgb(0x505866)), kNoOutline);
}

void draw_coffee_cup(QPainter& p) {
  for (int i = 0; i < 3; ++i) {
    const double x = 41 + i * 9;
    QPainterPath steam;
    steam.moveTo(x, 27);
    steam.cubicTo(x - 5, 22, x + 5, 17, x, 12 - i % 2 * 3);
    stroke(p, steam, QColor(0xe4, 0xe8, 0xf0, 210 - i % 2 * 50), 2.4);
  }
  fill(p, ellipse_path({50, 56}, 24, 5), vertical(51, 61, rgb(0xfcfcff), rgb(0xa8aebc)), rgb(0x5a606c));
  QPainterPath handle;
  handle.addEllipse(QPointF(66, 41), 7, 6.5);
  stroke(p, handle, rgb(0xd8dce4), 3.5);
  QPainterPath cup;
  cup.moveTo(33, 31);
  cup.lineTo(67, 31);
  cup.cubicTo(67, 46, 62, 55, 50, 55);
  cup.cubicTo(38, 55, 33, 46, 33, 31);
  QLinearGradient porcelain(33, 0, 67, 0);
  porcelain.setColorAt(0, rgb(0xc8ccd6));
  porcelain.setColorAt(0.35, rgb(0xffffff));
  porcelain.setColorAt(1, rgb(0xa0a6b4));
  fill(p, cup, porcelain, rgb(0x5a606c));
  p.save();
  p.setClipPath(cup);
  fill(p, rect_path(30, 38, 40, 4), rgb(0xd83030), kNoOutline);
  p.restore();
  fill(p, ellipse_path({50, 31}, 17, 3.2), rgb(0xf0f2f6), rgb(0x5a606c), 1);
  fill(p, ellipse_path({50, 31.4}, 14.5, 2.3), vertical(29, 34, rgb(0xb87844), rgb(0x6a3818)), kNoOutline);
}

void draw_camping_night(QPainter& p) {
  for (QPointF star : {QPointF(22, 14), QPointF(30, 24), QPointF(60, 10), QPointF(88, 30), QPointF(14, 30)})
    fill(p, ellipse_path(star, 1.1, 1.1), rgb(0xf0f4ff), kNoOutline);
  QPainterPath moon = ellipse_path({76, 15}, 8, 8).subtracted(ellipse_path({80, 12}, 7, 7));
  draw_glow(p, {75, 16}, 13, QColor(0xff, 0xe6, 0x80, 70));
  fill(p, moon, rgb(0xffe67a), kNoOutline);
  fill(p, polygon_path({{52, 58}, {66, 30}, {79, 58}}), vertical(30, 58, rgb(0x6a7896), rgb(0x303a50)), rgb(0x1e2434));
  fill(p, polygon_path({{16, 58}, {42, 15}, {68, 58}}), vertical(15, 58, rgb(0x90a0c0), rgb(0x3a4662)), rgb(0x1e2434));
  fill(p, polygon_path({{42, 15}, {35.5, 26}, {39, 24}, {42, 28}, {45, 24}, {48.5, 26}}), rgb(0xf4f8ff), kNoOutline);
  fill(p, polygon_path({{34, 58}, {49, 36}, {64, 58}}), vertical(36, 58, rgb(0xffa83c), rgb(0xd05210)), rgb(0x6a2608),
       1.4);
  fill(p, polygon_path({{49, 42}, {44.5, 58}, {53.5, 58}}), rgb(0x4a240e), kNoOutline);
  draw_ground(p, 12, 80);
}

void draw_smiling_sun(QPainter& p) {
  const QPointF c(50, 34);
  for (int i = 0; i < 12; ++i) {
    p.save();
    p.translate(c);
    p.rotate(i * 30);
    fill(p, polygon_path({{-3.5, -18}, {0, -25.5}, {3.5, -18}}), rgb(0xffa81c), kNoOutline);
    p.restore();
  }
  QRadialGradient sun(c, 16, c - QPointF(5, 6));
  sun.setColorAt(0, rgb(0xfffab0));
  sun.setColorAt(0.6, rgb(0xffd830));
  sun.setColorAt(1, rgb(0xf09010));
  fill(p, ellipse_path(c, 15.5, 15.5), sun, rgb(0xc06a08));
  const QColor face(0x6a, 0x34, 0x08);
  fill(p, ellipse_path({44.5, 30}, 1.8, 2.6), face, kNoOutline);
  fill(p, ellipse_path({55.5, 30}, 1.8, 2.6), face, kNoOutline);
  fill(p, ellipse_path({41, 37}, 3, 2), QColor(0xff, 0x70, 0x60, 120), kNoOutline);
  fill(p, ellipse_path({59, 37}, 3, 2), QColor(0xff, 0x70, 0x60, 120), kNoOutline);
  QPainterPath smile;
  smile.moveTo(43, 37);
  smile.quadTo(50, 45, 57, 37);
  stroke(p, smile, face, 2);

  const auto balloon = [&](QPointF at, const QColor& colour) {
    QPainterPath string;
    string.moveTo(at + QPointF(0, 8));
    string.cubicTo(at + QPointF(-3, 14), at + QPointF(3, 18), at + QPointF(0, 26));
    stroke(p, string, rgb(0xd0d4dc), 0.9);
    fill(p, polygon_path({at + QPointF(0, 7), at + QPointF(-2, 9.5), at + QPointF(2, 9.5)}), colour.darker(130),
         kNoOutline);
    QRadialGradient skin(at, 8, at - QPointF(2.5, 3));
    skin.setColorAt(0, colour.lighter(160));
    skin.setColorAt(1, colour.darker(140));
    fill(p, ellipse_path(at, 6, 7.5), skin, kNoOutline);
  };
  balloon({17, 18}, rgb(0xf03050));
  balloon({84, 16}, rgb(0x3090f0));
}

void draw_two_hearts(QPainter& p) {
  const auto heart = [&](QPointF c, double size, const QColor& colour) {
    QRadialGradient g(c, size * 0.8, c - QPointF(size * 0.2, size * 0.25));
    g.setColorAt(0, colour.lighter(150));
    g.setColorAt(1, colour.darker(150));
    fill(p, heart_path(c, size), g, colour.darker(260), 1.4);
    fill(p, ellipse_path(c + QPointF(-size * 0.3, -size * 0.2), size * 0.1, size * 0.06), QColor(255, 255, 255, 200),
         kNoOutline);
  };
  heart({60, 28}, 34, rgb(0xff6cb0));
  heart({42, 37}, 40, rgb(0xe8203a));
  for (QPointF sparkle : {QPointF(22, 16), QPointF(78, 50), QPointF(76, 10)}) {
    p.setPen(QPen(rgb(0xfff0f8), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(sparkle - QPointF(3, 0), sparkle + QPointF(3, 0));
    p.drawLine(sparkle - QPointF(0, 3), sparkle + QPointF(0, 3));
  }
}

void draw_headphones_and_notes(QPainter& p) {
  QPainterPath band;
  band.arcMoveTo(QRectF(24, 12, 52, 50), 180);
  band.arcTo(QRectF(24, 12, 52, 50), 180, -180);
  stroke(p, band, rgb(0x3a404c), 6);
  stroke(p, band, rgb(0xb8c0d0), 3.5);
  for (double x : {20.0, 70.0}) {
    fill(p, rect_path(x, 33, 10, 22, 4), vertical(33, 55, rgb(0xb078ff), rgb(0x5020a0)), rgb(0x2a1050));
    fill(p, rect_path(x + (x < 50 ? 8 : -2), 36, 4, 16, 2), rgb(0x4a465a), kNoOutline);
  }
  const QColor note(0x5c, 0xdc, 0xff);
  for (QPointF head : {QPointF(43, 48), QPointF(57, 44)}) {
    p.save();
    p.translate(head);
    p.rotate(-20);
    fill(p, ellipse_path({0, 0}, 4.6, 3.4), note, rgb(0x105070), 1);
    p.restore();
  }
  p.setPen(QPen(note, 2));
  p.drawLine(QPointF(47, 47), QPointF(47, 24));
  p.drawLine(QPointF(61, 43), QPointF(61, 20));
  fill(p, polygon_path({{46, 23}, {62, 19}, {62, 24}, {46, 28}}), note, kNoOutline);
}

void draw_gauge_and_check(QPainter& p) {
  const QPointF c(42, 48);
  const double r = 22;
  const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
  fill(p, ellipse_path(c, r + 4, r + 4).intersected(rect_path(0, 0, 100, c.y() + 3)),
       vertical(20, 50, rgb(0x505868), rgb(0x222630)), rgb(0x9aa4b8));
  const std::array<QColor, 3> zones = {rgb(0x40d050), rgb(0xffd020), rgb(0xf04030)};
  for (int i = 0; i < 3; ++i) {
    p.setPen(QPen(zones[i], 5, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(box.adjusted(3, 3, -3, -3), (180 - i * 60) * 16, -60 * 16);
  }
  const double needle_radians = 200 * std::numbers::pi / 180;  // This points into the green zone.
  p.setPen(QPen(rgb(0xf4f6fa), 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(c, c + QPointF(std::cos(needle_radians), std::sin(needle_radians)) * 17);
  fill(p, ellipse_path(c, 3, 3), rgb(0xd0d6e0), rgb(0x404652));

  QPainterPath check;
  check.moveTo(56, 34);
  check.lineTo(64, 43);
  check.lineTo(80, 16);
  stroke(p, check, rgb(0x103a18), 8);
  stroke(p, check, rgb(0x50e060), 5);
}

void draw_number_badge(QPainter& p, int channel) {
  const QRectF badge(80, 50, 18, 12);
  p.setPen(QPen(rgb(0x6a80a4), 1));
  p.setBrush(QColor(0x1e, 0x2c, 0x44, 230));
  p.drawRoundedRect(badge, 3, 3);
  p.setPen(rgb(0xf0f4ff));
  p.setFont(ui_font(9));
  p.drawText(badge, Qt::AlignCenter, QString::number(channel));
}

}  // namespace

QImage draw_channel_panel() {
  QImage panel(180, 110, QImage::Format_RGB32);
  QPainter p(&panel);
  smooth_painting(p);
  p.fillRect(panel.rect(), vertical(0, 110, rgb(0x262e3e), rgb(0x0e121a)));

  // A recessed well with a faint grid sits behind the channel picture.
  const QRectF well(34, 27.5, 112, 58);
  p.setPen(QPen(rgb(0x3c465a), 1));
  p.setBrush(vertical(well.top(), well.bottom(), rgb(0x121620), rgb(0x1a202c)));
  p.drawRoundedRect(well, 4, 4);
  p.setPen(QPen(QColor(0x60, 0x80, 0xb0, 22), 1));
  // Integer counters avoid float loop variables; every position is exact, so no line moves.
  for (int column = 1; well.left() + kGridStepPx * column < well.right() - 2; ++column) {
    const double x = well.left() + kGridStepPx * column;
    p.drawLine(QPointF(x, well.top() + 2), QPointF(x, well.bottom() - 2));
  }
  for (int row = 1; well.top() + kGridStepPx * row < well.bottom() - 2; ++row) {
    const double y = well.top() + kGridStepPx * row;
    p.drawLine(QPointF(well.left() + 2, y), QPointF(well.right() - 2, y));
  }

  // Calm dark strips leave room for the name and the member count the client writes.
  const auto strip = [&](const QRectF& r) {
    p.setPen(QPen(rgb(0x444e62), 1));
    p.setBrush(rgb(0x0c0f15));
    p.drawRoundedRect(r, 3, 3);
  };
  strip(QRectF(4.5, 3.5, 171, 23));
  strip(QRectF(147.5, 86.5, 28, 18));

  // The bevel is light top-left and dark bottom-right, with a soft gloss on the upper half.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(rgb(0x6a768e));
  p.drawLine(0, 0, 179, 0);
  p.drawLine(0, 0, 0, 109);
  p.setPen(rgb(0x06080c));
  p.drawLine(1, 109, 179, 109);
  p.drawLine(179, 1, 179, 109);
  p.setPen(rgb(0x3a4456));
  p.drawLine(1, 1, 178, 1);
  p.drawLine(1, 1, 1, 108);
  p.fillRect(QRect(2, 2, 176, 50), vertical(2, 52, QColor(255, 255, 255, 14), QColor(255, 255, 255, 0)));
  p.end();
  return panel;
}

QImage draw_channel_picture(int channel) {
  static const std::array<std::function<void(QPainter&)>, kChannelCount> kPictograms = {
      draw_house,         draw_church,      draw_microchip,  draw_radio_mast,           draw_coffee_cup,
      draw_camping_night, draw_smiling_sun, draw_two_hearts, draw_headphones_and_notes, draw_gauge_and_check,
  };
  QImage art = transparent_canvas(kPictureWidthPx, kPictureHeightPx);
  QPainter p(&art);
  smooth_painting(p);
  kPictograms.at(size_t(channel - 1))(p);
  draw_number_badge(p, channel);
  p.end();
  return flatten_for_black_key(art);
}
