#include <QApplication>

#include "app/client.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("marvok"));
  QApplication::setDesktopFileName(QStringLiteral("marvok"));
  // The client decides when it ends: message boxes may still show after the
  // main window has gone.
  QApplication::setQuitOnLastWindowClosed(false);
  marvok::Client client;
  return client.run(app);
}
