#include "ui/qt/qt_canvas.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QLinearGradient>
#include <QPalette>

#include "ui/qt/drawing_helpers.h"
#include "ui/qt/fonts.h"
#include "ui/qt/picture_image.h"

namespace marvok::ui {

namespace {

QFont to_qfont(const screen::Font& font) {
  switch (font.typeface) {
    case screen::Typeface::SegoeUi: {
      QFont segoe(QStringLiteral("Segoe UI"));
      segoe.setWeight(font.weight == screen::FontWeight::Bold ? QFont::Bold : QFont::Normal);
      segoe.setPixelSize(font.cell_height);
      segoe.setStyleStrategy(QFont::PreferAntialias);
      return segoe;
    }
    case screen::Typeface::WindowDefault: return default_font();
    case screen::Typeface::Arial: break;
  }
  return arial_font(font.cell_height, font.weight == screen::FontWeight::Bold ? QFont::Bold : QFont::Normal);
}

// Without a desktop session no icon theme is named, or only "hicolor", which
// has no device icons: then the first of the usual full themes installed serves.
void name_an_installed_theme() {
  const QString current = QIcon::themeName();
  if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
  for (const char* theme : {"Adwaita", "hicolor"}) {
    for (const QString& root : QIcon::themeSearchPaths()) {
      if (QFileInfo::exists(QDir(root).filePath(QString::fromLatin1(theme) + QStringLiteral("/index.theme")))) {
        QIcon::setThemeName(QString::fromLatin1(theme));
        return;
      }
    }
  }
}

}  // namespace

QRegion to_qregion(const screen::Region& region) {
  QRegion result;
  for (const screen::Rect& rect : region.rects()) result += to_qrect(rect);
  return result;
}

void QtCanvas::fill_rect(const screen::Rect& rect, screen::Colour colour) {
  painter_.fillRect(to_qrect(rect), to_qcolor(colour));
}

void QtCanvas::fill_vertical_gradient(const screen::Rect& rect, screen::Colour top, screen::Colour bottom) {
  QLinearGradient gradient(0, rect.y, 0, rect.y + rect.height);
  gradient.setColorAt(0, to_qcolor(top));
  gradient.setColorAt(1, to_qcolor(bottom));
  painter_.fillRect(to_qrect(rect), gradient);
}

void QtCanvas::frame_rect(const screen::Rect& rect, screen::Colour colour) {
  painter_.save();
  painter_.setPen(QPen(to_qcolor(colour), 1));
  painter_.setBrush(Qt::NoBrush);
  painter_.drawRect(to_qrect(rect).adjusted(0, 0, -1, -1));
  painter_.restore();
}

void QtCanvas::rounded_frame(const screen::Rect& rect, int corner, int pen_width, screen::Colour pen,
                             screen::Colour fill) {
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setPen(QPen(to_qcolor(pen), pen_width));
  painter_.setBrush(to_qcolor(fill));
  painter_.drawRoundedRect(QRectF(to_qrect(rect)).adjusted(0, 0, -1, -1), corner / 2.0, corner / 2.0);
  painter_.restore();
}

void QtCanvas::line(screen::Point from, screen::Point to, int width, screen::Colour colour,
                    screen::Antialias antialias) {
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, antialias == screen::Antialias::On);
  painter_.setPen(QPen(to_qcolor(colour), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter_.drawLine(to_qpoint(from), to_qpoint(to));
  painter_.restore();
}

void QtCanvas::dot(screen::Point centre, int radius, screen::Colour outline, screen::Colour fill) {
  painter_.save();
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setPen(QPen(to_qcolor(outline), 1));
  painter_.setBrush(to_qcolor(fill));
  painter_.drawEllipse(to_qpoint(centre), radius, radius);
  painter_.restore();
}

void QtCanvas::picture(screen::Point at, const Picture& picture) {
  if (!picture.empty()) painter_.drawImage(to_qpoint(at), to_qimage(picture));
}

void QtCanvas::picture_keyed(screen::Point at, const Picture& picture) {
  TransparentImage(painter_, to_qimage(picture), at.x, at.y);
}

void QtCanvas::picture_rotated_keyed(screen::Point at, const Picture& picture, double degrees) {
  TransparentImage(painter_, RotateImage(to_qimage(picture), degrees), at.x, at.y);
}

void QtCanvas::picture_stretched(const screen::Rect& rect, const Picture& picture, screen::Stretch stretch) {
  if (stretch == screen::Stretch::ScaledFirst) {
    StretchImage(painter_, to_qimage(picture), rect.x, rect.y, rect.width, rect.height);
    return;
  }
  if (picture.empty()) return;
  painter_.save();
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter_.drawImage(to_qrect(rect), to_qimage(picture));
  painter_.restore();
}

screen::Size QtCanvas::text_size(std::u16string_view text, const screen::Font& font) {
  const QFontMetrics metrics(to_qfont(font));
  return {metrics.horizontalAdvance(to_qstring(text)), metrics.height()};
}

screen::Rect QtCanvas::text_at(screen::Point at, std::u16string_view text, const screen::Font& font,
                               screen::Colour colour, std::optional<screen::Colour> ground) {
  const QFont qfont = to_qfont(font);
  const QString qtext = to_qstring(text);
  const QFontMetrics metrics(qfont);
  const QRect area(at.x, at.y, metrics.horizontalAdvance(qtext), metrics.height());
  painter_.save();
  if (ground) painter_.fillRect(area, to_qcolor(*ground));
  painter_.setFont(qfont);
  painter_.setPen(to_qcolor(colour));
  painter_.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, qtext);
  painter_.restore();
  return {area.x(), area.y(), area.width(), area.height()};
}

void QtCanvas::text_centred(const screen::Rect& box, std::u16string_view text, const screen::Font& font,
                            screen::Colour colour, std::optional<screen::Colour> ground, screen::TextClip clip) {
  const QFont qfont = to_qfont(font);
  const QString qtext = to_qstring(text);
  painter_.save();
  painter_.setFont(qfont);
  painter_.setPen(to_qcolor(colour));
  if (!ground) {
    const int dont_clip = clip == screen::TextClip::None ? Qt::TextDontClip : 0;
    painter_.drawText(to_qrect(box), Qt::AlignCenter | Qt::TextSingleLine | dont_clip, qtext);
    painter_.restore();
    return;
  }
  const QFontMetrics metrics(qfont);
  const QSize size(metrics.horizontalAdvance(qtext), metrics.height());
  const QRect area(box.x + (box.width - size.width()) / 2, box.y + (box.height - size.height()) / 2, size.width(),
                   size.height());
  painter_.setClipRect(to_qrect(box));
  painter_.fillRect(area, to_qcolor(*ground));
  painter_.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, qtext);
  painter_.restore();
}

bool QtCanvas::device_icon(const screen::Rect& rect, std::u16string_view icon_name, screen::SystemColour ground) {
  if (icon_name.empty()) return false;
  name_an_installed_theme();
  const QIcon icon = QIcon::fromTheme(to_qstring(icon_name));
  if (icon.isNull()) return false;
  painter_.fillRect(to_qrect(rect), to_qcolor(system_colour(ground)));
  icon.paint(&painter_, to_qrect(rect));
  return true;
}

screen::Colour QtCanvas::system_colour(screen::SystemColour colour) {
  QColor chosen;
  switch (colour) {
    case screen::SystemColour::Window: chosen = QApplication::palette().color(QPalette::Window); break;
    case screen::SystemColour::Menu: chosen = QApplication::palette("QMenu").color(QPalette::Window); break;
    // The classic scroll-bar grey: Qt's styles have no colour of their own for it.
    case screen::SystemColour::ScrollBar: chosen = QColor(200, 200, 200); break;
    case screen::SystemColour::ButtonShadow: chosen = QApplication::palette("QScrollBar").color(QPalette::Mid); break;
    case screen::SystemColour::Content: chosen = QApplication::palette().color(QPalette::Base); break;
  }
  return {static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
          static_cast<std::uint8_t>(chosen.blue())};
}

void QtCanvas::set_clip(const screen::Region& area) { painter_.setClipRegion(to_qregion(area)); }

void QtCanvas::clear_clip() { painter_.setClipping(false); }

void ImageSurface::paint(const std::function<void(screen::Canvas&)>& drawing) {
  QPainter painter(&image_);
  QtCanvas canvas(painter);
  drawing(canvas);
}

screen::PixelRows ImageSurface::pixels() {
  return {reinterpret_cast<std::uint32_t*>(image_.bits()),
          static_cast<int>(image_.bytesPerLine() / 4),
          {image_.width(), image_.height()}};
}

void ImageSurface::present(const screen::Region& area) {
  if (present_) present_(to_qregion(area));
}

}  // namespace marvok::ui
