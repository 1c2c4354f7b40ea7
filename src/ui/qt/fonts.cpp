#include "ui/qt/fonts.h"

#include <QFontMetrics>
#include <cmath>

namespace marvok::ui {

QFont arial_font(int cell_height, QFont::Weight weight) {
  QFont font(QStringLiteral("Arial"));
  font.setWeight(weight);
  font.setPixelSize(cell_height);
  const int line = QFontMetrics(font).height();
  if (line > 0 && line != cell_height)
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(1.0 * cell_height * cell_height / line))));
  return font;
}

QFont default_font() { return arial_font(16, QFont::Bold); }

}  // namespace marvok::ui
