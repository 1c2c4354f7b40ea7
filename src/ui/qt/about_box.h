#pragma once

class QWidget;

namespace marvok::ui {

// Who made Marvok and which version runs, in a modal box with an OK button.
void show_about_box(QWidget* owner);

}  // namespace marvok::ui
