#include "ui/qt/group_list_window.h"

#include <utility>

namespace marvok::ui {

GroupListWindowToggle::GroupListWindowToggle(QWidget& main, const relay::MemberTable& members,
                                             screen::MemberPictures pictures, screen::GrowthPauses pauses)
    : WindowToggle(1), main_(main), members_(members), pictures_(std::move(pictures)), pauses_(pauses) {}

int GroupListWindowToggle::toggle() {
  const screen::Growth growth = screen::group_list_growth(from_qrect(main_.frameGeometry()));
  return toggle_window(
      [&] {
        return new ToolWindow(main_, screen::kGroupListWindowLook, to_qpoint(growth.opening),
                              [&](ToolWindow& window, screen::Surface& surface) {
                                return std::make_unique<screen::GroupListScreen>(members_, pictures_, kept_, surface,
                                                                                 window);
                              });
      },
      [&](const QPointer<ToolWindow>& window) {
        if (!show_grown(window, growth, pauses_)) return;
        main_.raise();
        main_.activateWindow();
      });
}

}  // namespace marvok::ui
