#include "ui/qt/custom_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

#include "state/session_state.h"
#include "ui/qt/main_window.h"

namespace marvok::ui {
namespace {

// Finds the notice window while it shows and hands it to `look`.
void when_shown(std::function<void(QWidget&)> look) {
  QTimer::singleShot(50, [look] {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (widget->objectName() == "CustomDialog" && widget->isVisible()) look(*widget);
  });
}

TEST(CustomDialogTest, ShowsTheNoticeBesideTheMainWindowAndClosesByItself) {
  SessionState state;
  MainWindow main(state);
  main.move(300, 200);
  QString title, text;
  QRect geometry, text_area;
  when_shown([&](QWidget& dialog) {
    title = dialog.windowTitle();
    geometry = dialog.geometry();
    const auto* label = dialog.findChild<QLabel*>();
    text = label->text();
    text_area = label->geometry();
  });
  QElapsedTimer clock;
  clock.start();
  show_custom_dialog(&main, "Le superviseur va fermer", 300);
  EXPECT_GE(clock.elapsed(), 290);

  EXPECT_EQ(title, "Info du Superviseur");
  EXPECT_EQ(geometry, QRect(320, 220, 400, 200));
  EXPECT_EQ(text, "Le superviseur va fermer");
  EXPECT_EQ(text_area, QRect(10, 10, 280, 150));
}

TEST(CustomDialogTest, ClosingItReturnsAtOnceAndItCanShowAgain) {
  for (int round = 0; round < 2; ++round) {
    when_shown([](QWidget& dialog) { dialog.close(); });
    QElapsedTimer clock;
    clock.start();
    show_custom_dialog(nullptr, "Bonjour", 10000);
    EXPECT_LT(clock.elapsed(), 5000);
  }
}

}  // namespace
}  // namespace marvok::ui
