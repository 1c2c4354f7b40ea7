#pragma once

#include <QString>

#include "screen/dialogs.h"

class QWidget;

namespace marvok::ui {

using BoxIcon = screen::BoxIcon;

// Shows a modal message box with an OK button and waits until it is closed.
// Windows and timers of the calling thread keep running meanwhile.
void show_message_box(QWidget* owner, const QString& text, const QString& caption, BoxIcon icon);

}  // namespace marvok::ui
