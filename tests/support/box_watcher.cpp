#include "support/box_watcher.h"

#include <QApplication>
#include <QMessageBox>

namespace marvok::testing {

BoxWatcher::BoxWatcher() {
  connect(&poll_, &QTimer::timeout, this, &BoxWatcher::answer_open_box);
  poll_.start(20);
}

void BoxWatcher::answer_open_box() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box || !box->isVisible()) return;
  seen_.push_back({box->windowTitle(), box->text()});
  box->accept();
}

}  // namespace marvok::testing
