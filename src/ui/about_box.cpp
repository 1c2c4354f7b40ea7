#include "ui/about_box.h"

#include <QMessageBox>

#include "state/session_state.h"

namespace marvok::ui {

void show_about_box(QWidget* owner) {
  QMessageBox box(QMessageBox::Information, QStringLiteral("À propos de Marvok"),
                  QStringLiteral("Marvok %1\nRéseau de téléphonie de loisir\n\nConçu par l'équipe Marvok.")
                      .arg(QString::fromLatin1(kClientVersion)),
                  QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace marvok::ui
