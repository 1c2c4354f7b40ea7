#include "ui/speaker_panel.h"

#include <QPainter>

#include "ui/colorref.h"
#include "ui/drawing_helpers.h"

namespace marvok::ui {

namespace {

constexpr QPoint kPictureAt{10, 340};
const QRect kNameLine{QPoint(10, 318), QPoint(309, 338)};
constexpr QPoint kFirstNameAt{15, 319};
constexpr QPoint kCityAt{170, 319};
const QRect kPhraseStrip{QPoint(20, 620), QPoint(279, 639)};
constexpr QPoint kPhraseAt{20, 620};
constexpr int kTextOverhang = 8;

}  // namespace

QRect draw_speaker_picture(QImage& surface, const QImage& picture) {
  const QRect area(kPictureAt, picture.size());
  QPainter painter(&surface);
  painter.drawImage(kPictureAt, picture);
  painter.setPen(QColor(255, 0, 0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  return area;
}

QRect draw_speaker_card(QImage& surface, std::uint32_t background, std::string_view first_name, std::string_view city,
                        std::string_view phrase) {
  {
    QPainter painter(&surface);
    painter.fillRect(kNameLine, from_colorref(background));
    DrawUtf8Text(painter, first_name, kFirstNameAt.x(), kFirstNameAt.y(), kWhite);
    DrawUtf8Text(painter, city, kCityAt.x(), kCityAt.y(), kWhite);
  }
  FrostRect(surface, kPhraseStrip);
  {
    QPainter painter(&surface);
    DrawUtf8Text(painter, phrase, kPhraseAt.x(), kPhraseAt.y(), kYellow);
  }
  // Text runs past its line and strip as far as it is long.
  return QRect(QPoint(0, kNameLine.top()), QPoint(surface.width() - 1, kPhraseStrip.bottom() + kTextOverhang));
}

}  // namespace marvok::ui
