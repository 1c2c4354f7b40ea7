#include "accessory_icons.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "pictures.h"

namespace marvok::web_server {

namespace {

// A pedal seen from above with its USB plug: the tread in the state's
// colour, a grey hinge and cable, and the plug's metal tip.
std::string draw_pedal(QColor tread) {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(40, 40, 40), 1.0));
  painter.setBrush(QColor(90, 90, 90));
  painter.drawRoundedRect(QRectF(4.5, 20.5, 20, 7), 2, 2);  // base and hinge
  painter.setBrush(tread);
  QPainterPath tread_shape;
  tread_shape.moveTo(5.5, 20.5);
  tread_shape.lineTo(9.5, 5.5);
  tread_shape.lineTo(19.5, 5.5);
  tread_shape.lineTo(23.5, 20.5);
  tread_shape.closeSubpath();
  painter.drawPath(tread_shape);
  painter.setPen(QPen(tread.lighter(160), 1.0));
  for (const double y : {9.5, 13.5, 17.5}) painter.drawLine(QPointF(9, y), QPointF(20, y));  // grip lines
  painter.setPen(QPen(QColor(60, 60, 60), 1.5));
  painter.setBrush(Qt::NoBrush);
  QPainterPath cable;
  cable.moveTo(24.5, 24);
  cable.cubicTo(29, 24, 28, 14, 27.5, 10);
  painter.drawPath(cable);
  painter.setPen(QPen(QColor(40, 40, 40), 1.0));
  painter.setBrush(QColor(70, 70, 70));
  painter.drawRect(QRectF(25.5, 5.5, 4, 5));  // plug body
  painter.setBrush(QColor(200, 200, 200));
  painter.drawRect(QRectF(26, 1.5, 3, 4));  // metal tip
  painter.end();
  return encode_png(image);
}

}  // namespace

std::optional<std::string_view> AccessoryIcons::for_file(std::string_view file) const {
  if (file == "usb_black.png") return black;
  if (file == "usb_green.png") return green;
  if (file == "usb_red.png") return red;
  return std::nullopt;
}

AccessoryIcons draw_accessory_icons() {
  return {draw_pedal(QColor(20, 20, 20)), draw_pedal(QColor(30, 170, 60)), draw_pedal(QColor(210, 30, 30))};
}

}  // namespace marvok::web_server
