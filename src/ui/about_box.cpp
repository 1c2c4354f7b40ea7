#include "ui/about_box.h"

#include "platform/message_box.h"
#include "state/session_state.h"

namespace marvok::ui {

void show_about_box(QWidget* owner) {
  platform::show_message_box(owner,
                             QStringLiteral("Marvok %1\nRéseau de téléphonie de loisir\n\nConçu par l'équipe Marvok.")
                                 .arg(QString::fromLatin1(kClientVersion)),
                             QStringLiteral("À propos de Marvok"), platform::BoxIcon::Information);
}

}  // namespace marvok::ui
