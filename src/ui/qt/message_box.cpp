#include "ui/qt/message_box.h"

#include <QMessageBox>
#include <QPointer>

namespace marvok::ui {

namespace {

QMessageBox::Icon qt_icon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Error: return QMessageBox::Critical;
    case BoxIcon::Question: return QMessageBox::Question;
    case BoxIcon::Warning: return QMessageBox::Warning;
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void show_message_box(QWidget* owner, const QString& text, const QString& caption, BoxIcon icon) {
  // On the heap: should the owner be destroyed while the box shows (the
  // client asked to end), it deletes the box with it.
  QPointer<QMessageBox> box = new QMessageBox(qt_icon(icon), caption, text, QMessageBox::Ok, owner);
  box->exec();
  delete box.data();
}

}  // namespace marvok::ui
