#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <QString>
#include <functional>

#include "screen/canvas.h"
#include "screen/surface.h"

namespace marvok::ui {

inline QRect to_qrect(const screen::Rect& rect) { return {rect.x, rect.y, rect.width, rect.height}; }
inline screen::Rect from_qrect(const QRect& rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }
inline QPoint to_qpoint(screen::Point point) { return {point.x, point.y}; }
inline screen::Point from_qpoint(QPoint point) { return {point.x(), point.y()}; }
inline QColor to_qcolor(screen::Colour colour) { return {colour.red, colour.green, colour.blue}; }
inline QString to_qstring(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}
QRegion to_qregion(const screen::Region& region);

// The screen's canvas over a Qt painter.
class QtCanvas final : public screen::Canvas {
 public:
  explicit QtCanvas(QPainter& painter) : painter_(painter) {}

  void fill_rect(const screen::Rect& rect, screen::Colour colour) override;
  void fill_vertical_gradient(const screen::Rect& rect, screen::Colour top, screen::Colour bottom) override;
  void frame_rect(const screen::Rect& rect, screen::Colour colour) override;
  void rounded_frame(const screen::Rect& rect, int corner, int pen_width, screen::Colour pen,
                     screen::Colour fill) override;
  void line(screen::Point from, screen::Point to, int width, screen::Colour colour,
            screen::Antialias antialias) override;
  void dot(screen::Point centre, int radius, screen::Colour outline, screen::Colour fill) override;
  void picture(screen::Point at, const Picture& picture) override;
  void picture_keyed(screen::Point at, const Picture& picture) override;
  void picture_rotated_keyed(screen::Point at, const Picture& picture, double degrees) override;
  void picture_stretched(const screen::Rect& rect, const Picture& picture, screen::Stretch stretch) override;
  screen::Size text_size(std::u16string_view text, const screen::Font& font) override;
  screen::Rect text_at(screen::Point at, std::u16string_view text, const screen::Font& font, screen::Colour colour,
                       std::optional<screen::Colour> ground) override;
  void text_centred(const screen::Rect& box, std::u16string_view text, const screen::Font& font, screen::Colour colour,
                    std::optional<screen::Colour> ground, screen::TextClip clip) override;
  bool device_icon(const screen::Rect& rect, std::u16string_view icon_name, screen::SystemColour ground) override;
  screen::Colour system_colour(screen::SystemColour colour) override;
  void set_clip(const screen::Region& area) override;
  void clear_clip() override;

 private:
  QPainter& painter_;
};

// A window's backing image as the screen's surface: drawn through a Qt
// painter, its rows handed out for the frost, shown through `present`.
class ImageSurface final : public screen::Surface {
 public:
  ImageSurface(QSize size, std::function<void(const QRegion&)> present)
      : image_(size, QImage::Format_RGB32), present_(std::move(present)) {}

  void paint(const std::function<void(screen::Canvas&)>& drawing) override;
  screen::PixelRows pixels() override;
  void present(const screen::Region& area) override;

  QImage& image() { return image_; }
  const QImage& image() const { return image_; }

 private:
  QImage image_;
  std::function<void(const QRegion&)> present_;
};

}  // namespace marvok::ui
