#include <QApplication>

#include "app/client.h"
#include "platform/termination_signals.h"

int main(int argc, char** argv) {
  // A request to end during start-up is answered once the window is up.
  marvok::platform::catch_termination_signals();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("marvok"));
  QApplication::setDesktopFileName(QStringLiteral("marvok"));
  // The client decides when it ends: message boxes may still show after the
  // main window has gone.
  QApplication::setQuitOnLastWindowClosed(false);
  marvok::Client client;
  return client.run(app);
}
