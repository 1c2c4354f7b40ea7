#include "ui/qt/file_dialog.h"

#include <QFileDialog>

namespace marvok::ui {

std::optional<std::filesystem::path> choose_picture_file() {
  const QString chosen = QFileDialog::getOpenFileName(nullptr, QString(), QString(),
                                                      QStringLiteral("Images (*.png *.jpg *.jpeg *.bmp *.gif)"));
  if (chosen.isEmpty()) return std::nullopt;
  return std::filesystem::path(chosen.toStdU16String());
}

}  // namespace marvok::ui
