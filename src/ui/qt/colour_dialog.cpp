#include "ui/qt/colour_dialog.h"

#include <QColorDialog>
#include <QPointer>
#include <algorithm>
#include <cstddef>

#include "ui/qt/colorref.h"

namespace marvok::ui {

std::optional<std::uint32_t> choose_colour(QWidget* owner, CustomColours& custom_colours) {
  // Qt keeps one set of custom colours for the process; the caller's set is
  // the one that counts, so it is loaded before and read back after.
  const int count = std::min(QColorDialog::customCount(), static_cast<int>(custom_colours.size()));
  for (int i = 0; i < count; ++i)
    QColorDialog::setCustomColor(i, from_colorref(custom_colours[static_cast<std::size_t>(i)]));

  // On the heap and watched: should the owner be closed while the dialog
  // runs, the dialog goes with it and counts as cancelled.
  const QPointer<QColorDialog> dialog = new QColorDialog(QColor(Qt::black), owner);
  const bool confirmed = dialog->exec() == QDialog::Accepted && dialog;

  for (int i = 0; i < count; ++i)
    custom_colours[static_cast<std::size_t>(i)] = to_colorref(QColorDialog::customColor(i));
  if (!dialog) return std::nullopt;
  const QColor chosen = dialog->selectedColor();
  delete dialog.data();
  if (!confirmed) return std::nullopt;
  return to_colorref(chosen);
}

}  // namespace marvok::ui
