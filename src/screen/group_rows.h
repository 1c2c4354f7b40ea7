#pragma once

#include "relay/member_table.h"
#include "screen/canvas.h"
#include "screen/surface.h"
#include "screen/tool_window.h"

namespace marvok::screen {

inline constexpr ToolWindowLook kGroupListWindowLook{.class_name = "GroupWndClass",
                                                     .title = u"Marvok Group List",
                                                     .background = kBlue,
                                                     .size = {666, 650},
                                                     .tick_period = std::chrono::seconds(1),
                                                     .fixed_once_grown = true};
inline constexpr int kGroupListRows = 10;
inline constexpr int kGroupListCellsPerRow = 16;
// The first stage unfolds as the others do; the second, longer, goes faster.
inline constexpr GrowthPauses kGroupListGrowthPauses{std::chrono::milliseconds(20), std::chrono::milliseconds(10)};

// Row d (1 to 10) shows channel d: sixteen cells, its number at the left and
// a marker near the window's right edge. The markers are placed from the
// window's outer width, frame included.
Rect group_cell(int row, int cell);
Rect group_row_label(int row);
Rect group_row_marker(int row, int outer_width);

// Draws row `row` afresh: green cells, the pictures of the channel's members
// that could be had, the row's number, the red marker on it and the light
// blue one on the row drawn before.
void draw_group_row(Canvas& canvas, int row, const relay::MemberTable& members, const MemberPictures& pictures,
                    int outer_width);

// The two lines that ask the member not to leave the window open.
void draw_group_warning(Canvas& canvas);

// Unfolds up and out of the main window, then widens and lengthens to the full size.
Growth group_list_growth(const Rect& main_frame);

// The group list's content: who is in each of channels 1 to 10, one row
// drawn each tick, in turn, over a black-to-white gradient.
class GroupListScreen final : public ToolScreen {
 public:
  // `next_row` is the row the next tick draws; the caller keeps it so that
  // it survives the window.
  GroupListScreen(const relay::MemberTable& members, MemberPictures pictures, int& next_row, Surface& surface,
                  ToolWindowHost& host);

  void start() override;
  // Draws the next row, moves on to the row after it, then draws the warning.
  void tick() override;

 private:
  const relay::MemberTable& members_;
  MemberPictures pictures_;
  int& next_row_;
  Surface& surface_;
  ToolWindowHost& host_;
};

}  // namespace marvok::screen
