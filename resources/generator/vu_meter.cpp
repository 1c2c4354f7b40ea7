// Classic ivory VU dial. The client draws the needle itself, pivoting on the
// bottom centre and sweeping from 218 to 320 degrees, with screen y pointing down.
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

#include "paint_helpers.h"
#include "pictures.h"

namespace {

constexpr QPointF kPivot(75, 84);
constexpr double kStartDegrees = 218;
constexpr double kEndDegrees = 320;
constexpr double kScaleRadius = 58;
constexpr double kMinDb = -20;
constexpr double kMaxDb = 3;

QPointF on_dial(double radius, double degrees) {
  const double radians = degrees * std::numbers::pi / 180;
  return kPivot + QPointF(radius * std::cos(radians), radius * std::sin(radians));
}

// A VU needle moves with voltage, so decibels sit on the arc non-linearly.
double degrees_for_db(double db) {
  const auto volts = [](double level_db) { return std::pow(10.0, level_db / 20); };
  const double fraction = (volts(db) - volts(kMinDb)) / (volts(kMaxDb) - volts(kMinDb));
  return kStartDegrees + fraction * (kEndDegrees - kStartDegrees);
}

// Qt arcs count counter-clockwise with y up, so the screen angles of the dial are negated.
void draw_scale_arc(QPainter& p, double from_db, double to_db, double radius, const QPen& pen) {
  const double from_degrees = degrees_for_db(from_db), to_degrees = degrees_for_db(to_db);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(kPivot.x() - radius, kPivot.y() - radius, 2 * radius, 2 * radius), int(-from_degrees * 16),
            int(-(to_degrees - from_degrees) * 16));
}

void draw_face(QPainter& p) {
  QRadialGradient ivory(QPointF(75, 70), 95);
  ivory.setColorAt(0.0, rgb(0xfcf6e0));
  ivory.setColorAt(0.7, rgb(0xf0e4bc));
  ivory.setColorAt(1.0, rgb(0xd8c898));
  p.setPen(Qt::NoPen);
  p.setBrush(ivory);
  p.drawRoundedRect(QRectF(4, 4, 142, 80), 5, 5);
}

void draw_scale(QPainter& p) {
  const QColor ink(0x2a, 0x24, 0x1c);
  const QColor red(0xd0, 0x1c, 0x18);
  draw_scale_arc(p, kMinDb, 0, kScaleRadius, QPen(ink, 1.2));
  draw_scale_arc(p, 0, kMaxDb, kScaleRadius + 1.5, QPen(red, 4, Qt::SolidLine, Qt::FlatCap));

  struct Mark {
    double db;
    const char* label;
  };
  const Mark marks[] = {{-20, "20"},   {-10, "10"}, {-7, "7"},    {-5, "5"},    {-3, "3"}, {-2, nullptr},
                        {-1, nullptr}, {0, "0"},    {1, nullptr}, {2, nullptr}, {3, "3"}};
  p.setFont(ui_font(8));
  for (const Mark& mark : marks) {
    const double degrees = degrees_for_db(mark.db);
    const bool major = mark.label != nullptr;
    const QColor colour = mark.db >= 0 ? red : ink;
    p.setPen(QPen(colour, major ? 1.6 : 1.1, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(on_dial(kScaleRadius, degrees), on_dial(kScaleRadius + (major ? 8 : 5), degrees));
    if (!major) continue;
    const QPointF at = on_dial(kScaleRadius + 15, degrees);
    p.drawText(QRectF(at.x() - 10, at.y() - 6, 20, 12), Qt::AlignCenter, QString::fromLatin1(mark.label));
  }
  p.setFont(ui_font(10));
  p.setPen(ink);
  p.drawText(QRectF(8, 8, 20, 14), Qt::AlignCenter, QStringLiteral("\u2212"));
  p.setPen(red);
  p.drawText(QRectF(122, 8, 20, 14), Qt::AlignCenter, QStringLiteral("+"));
}

void draw_pivot_cover(QPainter& p) {
  p.setFont(ui_font(13));
  p.setPen(rgb(0x2a241c));
  p.drawText(QRectF(55, 44, 40, 16), Qt::AlignCenter, QStringLiteral("VU"));

  QRadialGradient cover(kPivot, 16, kPivot - QPointF(4, 6));
  cover.setColorAt(0.0, rgb(0x6a6660));
  cover.setColorAt(1.0, rgb(0x242220));
  p.setPen(QPen(rgb(0x141210), 1));
  p.setBrush(cover);
  p.drawChord(QRectF(kPivot.x() - 15, kPivot.y() - 15, 30, 30), 0, 180 * 16);
}

void draw_bezel(QPainter& p) {
  QPainterPath frame;
  frame.addRoundedRect(QRectF(0, 0, 150, 84), 7, 7);
  frame.addRoundedRect(QRectF(4, 4, 142, 80), 5, 5);
  frame.setFillRule(Qt::OddEvenFill);
  QLinearGradient metal(0, 0, 0, 84);
  metal.setColorAt(0.0, rgb(0x70747c));
  metal.setColorAt(0.3, rgb(0x3a3c42));
  metal.setColorAt(1.0, rgb(0x1c1d20));
  p.setPen(Qt::NoPen);
  p.setBrush(metal);
  p.drawPath(frame);
  // An inner shadow makes the face look set into the frame.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x50, 0x44, 0x30, 110), 2));
  p.drawRoundedRect(QRectF(5, 5, 140, 84), 4, 4);
}

}  // namespace

QImage draw_vu_meter_dial() {
  QImage dial(150, 84, QImage::Format_RGB32);
  dial.fill(rgb(0x1c1d20));
  QPainter p(&dial);
  smooth_painting(p);
  draw_face(p);
  draw_scale(p);
  draw_pivot_cover(p);
  draw_bezel(p);
  p.end();
  return dial;
}
