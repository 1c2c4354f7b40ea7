#include "support/box_watcher.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace marvok::testing {

BoxWatcher::BoxWatcher() {
  connect(&poll_, &QTimer::timeout, this, &BoxWatcher::answer_open_box);
  poll_.start(20);
}

void BoxWatcher::answer_open_box() {
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
    seen_.push_back({box->windowTitle(), box->text()});
    box->accept();
    return;
  }
  // The supervisor's notice window closes itself after ten seconds; the member may close it sooner.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() != "CustomDialog" || !widget->isVisible()) continue;
    const auto* label = widget->findChild<QLabel*>();
    seen_.push_back({widget->windowTitle(), label ? label->text() : QString()});
    widget->close();
  }
}

}  // namespace marvok::testing
