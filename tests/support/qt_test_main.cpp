// Test entry point for tests that need a Qt application: widgets render on
// Qt's offscreen platform, on one 1920 × 1080 screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>

namespace {

QByteArray offscreen_platform_with_full_hd_screen() {
  const QString config = QDir::temp().filePath(QStringLiteral("marvok-offscreen-%1.json").arg(getpid()));
  QFile file(config);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(R"({"screens":[{"name":"main","x":0,"y":0,"width":1920,"height":1080,)"
               R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
  }
  return "offscreen:configfile=" + config.toLocal8Bit();
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", offscreen_platform_with_full_hd_screen());
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
