// Test entry point for tests that need a Qt application: widgets render on
// Qt's offscreen platform, on one 1920 × 1080 screen.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/offscreen_screen.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", marvok::testing::offscreen_platform_with_full_hd_screen());
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
