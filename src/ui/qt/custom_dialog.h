#pragma once

#include <QString>

class QWidget;

namespace marvok::ui {

inline constexpr int kCustomDialogLifetimeMs = 10000;

// Shows a notice in the "Info du Superviseur" window beside the main window
// and returns once it has closed: by itself after ten seconds, or by the
// member. The main thread's windows and timers keep running meanwhile.
void show_custom_dialog(const QWidget* main_window, const QString& text, int lifetime_ms = kCustomDialogLifetimeMs);

}  // namespace marvok::ui
