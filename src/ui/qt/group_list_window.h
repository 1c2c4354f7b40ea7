#pragma once

#include <QWidget>

#include "relay/member_table.h"
#include "screen/group_rows.h"
#include "ui/qt/tool_window.h"
#include "ui/qt/window_toggle.h"

namespace marvok::ui {

// Opens and closes the "Marvok Group List" window, who is in each of
// channels 1 to 10, from the main window's CHANNEL panel, and remembers which
// row comes next across openings.
class GroupListWindowToggle final : public WindowToggle<ToolWindow, int> {
 public:
  GroupListWindowToggle(QWidget& main, const relay::MemberTable& members, screen::MemberPictures pictures,
                        screen::GrowthPauses pauses = screen::kGroupListGrowthPauses);

  // Closes the window when open; otherwise opens it beside the main window,
  // grows it and returns once it is grown and ticking. 0 only when the window
  // could not be created.
  int toggle();

  // The row the next tick draws, 1 to 10.
  int next_row() const { return kept_; }

 private:
  QWidget& main_;
  const relay::MemberTable& members_;
  screen::MemberPictures pictures_;
  screen::GrowthPauses pauses_;
};

}  // namespace marvok::ui
