#include "ui/qt/drawing_helpers.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QPainter>
#include <QPalette>

namespace marvok::ui {

namespace {

constexpr int kIconLeft = 50;
constexpr int kIconSize = 64;

}  // namespace

void TransparentImage(QPainter& painter, const QImage& image, int x, int y) {
  if (image.isNull()) return;
  QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
  for (int row = 0; row < keyed.height(); ++row) {
    auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(row));
    for (int column = 0; column < keyed.width(); ++column)
      if ((line[column] & RGB_MASK) == 0) line[column] = 0;
  }
  painter.drawImage(QPoint(x, y), keyed);
}

void StretchImage(QPainter& painter, const QImage& image, int x, int y, int width, int height) {
  if (image.isNull() || width <= 0 || height <= 0) return;
  // Scaling first keeps the result inside the target's pixels, with no blended edge.
  painter.drawImage(QPoint(x, y), image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QImage RotateImage(const QImage& image, double angle_degrees) {
  if (image.isNull()) return {};
  QImage rotated(image.size(), QImage::Format_ARGB32);
  rotated.fill(Qt::black);
  QPainter painter(&rotated);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QPointF centre(image.width() / 2.0, image.height() / 2.0);
  painter.translate(centre);
  painter.rotate(angle_degrees);  // y grows downward, so positive turns clockwise
  painter.translate(-centre);
  painter.drawImage(QPoint(0, 0), image);
  return rotated;
}

bool DrawExeIcon(QPainter& painter, int icon_index, const QString& executable, int y) {
  // Linux programs carry no icons of their own; the desktop theme names them after the program.
  if (icon_index != 0) return false;
  const QString name = QFileInfo(executable).fileName();
  if (name.isEmpty()) return false;
  const QIcon icon = QIcon::fromTheme(name);
  if (icon.isNull()) return false;
  const QRect area(kIconLeft, y, kIconSize, kIconSize);
  painter.fillRect(area, QApplication::palette().color(QPalette::Window));
  icon.paint(&painter, area);
  return true;
}

}  // namespace marvok::ui
