#include "ui/qt/qt_dialogs.h"

#include "ui/qt/about_box.h"
#include "ui/qt/custom_dialog.h"
#include "ui/qt/file_dialog.h"
#include "ui/qt/message_box.h"
#include "ui/qt/qt_canvas.h"
#include "ui/qt/web_pages.h"

namespace marvok::ui {

void QtDialogs::message_box(screen::BoxOwner owner, std::u16string_view text, std::u16string_view caption,
                            screen::BoxIcon icon) {
  QWidget* parent = owner == screen::BoxOwner::MainWindow ? main_window_() : nullptr;
  show_message_box(parent, to_qstring(text), to_qstring(caption), icon);
}

void QtDialogs::notice(std::u16string_view text) { show_custom_dialog(main_window_(), to_qstring(text)); }

void QtDialogs::about_box() { show_about_box(main_window_()); }

bool QtDialogs::open_web_page(const std::string& url) { return ui::open_web_page(url); }

std::optional<std::filesystem::path> QtDialogs::choose_picture_file() { return ui::choose_picture_file(); }

}  // namespace marvok::ui
