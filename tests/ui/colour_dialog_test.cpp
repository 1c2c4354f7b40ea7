#include "ui/qt/colour_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QTimer>

namespace marvok::ui {
namespace {

// The member changes custom colour 15, sets the colour to (0, 128, 255), then
// confirms or cancels; whatever happens, the caller's custom colours follow.
TEST(ColourDialogTest, GivesTheColourAsColorrefAndTheCustomColoursBack) {
  for (const bool confirm : {true, false}) {
    CustomColours custom{};
    custom[3] = 0x00030201;
    QColor custom_shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) return;
      poll.stop();
      custom_shown = QColorDialog::customColor(3);
      QColorDialog::setCustomColor(15, QColor(10, 20, 30));
      dialog->setCurrentColor(QColor(0, 128, 255));
      confirm ? dialog->accept() : dialog->reject();
    });
    poll.start(10);
    EXPECT_EQ(choose_colour(nullptr, custom), confirm ? std::optional<std::uint32_t>(0x00FF8000) : std::nullopt);
    EXPECT_EQ(custom_shown, QColor(1, 2, 3));
    EXPECT_EQ(custom[15], 0x001E140Au);
  }
}

}  // namespace
}  // namespace marvok::ui
