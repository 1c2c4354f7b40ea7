#include "ui/qt/about_box.h"

#include "state/session_state.h"
#include "ui/qt/message_box.h"

namespace marvok::ui {

void show_about_box(QWidget* owner) {
  show_message_box(owner,
                   QStringLiteral("Marvok %1\nRéseau de téléphonie de loisir\n\nConçu par l'équipe Marvok.")
                       .arg(QString::fromLatin1(kClientVersion)),
                   QStringLiteral("À propos de Marvok"), BoxIcon::Information);
}

}  // namespace marvok::ui
