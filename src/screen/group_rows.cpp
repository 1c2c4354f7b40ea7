#include "screen/group_rows.h"

#include <algorithm>
#include <string>

namespace marvok::screen {

namespace {

constexpr Colour kCurrentGroupRowColour = kRed;
constexpr Colour kPreviousGroupRowColour{100, 150, 255};
constexpr int kGroupCellLeft = 20;
constexpr int kGroupCellStep = 38;
constexpr Size kGroupCellSize{33, 41};
constexpr int kGroupRowStep = 51;
constexpr Font kRowNumberFont{Typeface::SegoeUi, 12, FontWeight::Normal};
constexpr Font kGroupWarningFont{Typeface::SegoeUi, 15, FontWeight::Normal};
constexpr Rect kGroupListArea({0, 0}, kGroupListWindowLook.size);

// The widening stops at 646 and adds 20, so the window ends 666 wide.
constexpr int kGroupWidthBeforeFrame = 646;
constexpr int kGroupFrameAllowance = 20;

int group_row_top(int row) { return kGroupRowStep * row - 41; }

int previous_group_row(int row) { return row == 1 ? kGroupListRows : row - 1; }

// White text centred both ways, over whatever is already there; it may run
// past the box rather than be cut.
void draw_centred_white_text(Canvas& canvas, const Rect& box, std::u16string_view text, const Font& font) {
  canvas.text_centred(box, text, font, kWhite, std::nullopt, TextClip::None);
}

std::u16string two_digits(int number) {
  return {static_cast<char16_t>(u'0' + number / 10 % 10), static_cast<char16_t>(u'0' + number % 10)};
}

std::vector<GrowthStep> widen_group_list(const Rect& reached) {
  std::vector<GrowthStep> steps;
  for (int s = 0; s <= 600; s += 10) {
    steps.push_back({reached.top_left(),
                     {std::min(reached.width + s, kGroupWidthBeforeFrame) + kGroupFrameAllowance,
                      std::min(reached.height + s, kGroupListWindowLook.size.height)}});
  }
  return steps;
}

}  // namespace

Rect group_cell(int row, int cell) {
  return {{kGroupCellLeft + kGroupCellStep * cell, group_row_top(row)}, kGroupCellSize};
}

Rect group_row_label(int row) { return Rect::edges(2, group_row_top(row) + 10, 17, group_row_top(row) + 25); }

Rect group_row_marker(int row, int outer_width) {
  return Rect::edges(outer_width - 35, kGroupRowStep * row - 30, outer_width - 25, kGroupRowStep * row - 20);
}

void draw_group_row(Canvas& canvas, int row, const relay::MemberTable& members, const MemberPictures& pictures,
                    int outer_width) {
  for (int cell = 0; cell < kGroupListCellsPerRow; ++cell) canvas.fill_rect(group_cell(row, cell), kGreen);

  // The relay's count is clamped so that a damaged list cannot read past
  // the table. Members past the sixteenth have no cell and are not shown:
  // the table holds no more than sixteen per channel anyway.
  const int count =
      std::clamp<int>(members.ChannelMemberCounts[row].load(std::memory_order_relaxed), 0, kGroupListCellsPerRow);
  int cell = 0;
  for (int i = 0; pictures && i < count; ++i) {
    const auto member = static_cast<std::uint16_t>(members.ChannelMembers[row][i].load(std::memory_order_relaxed));
    const std::optional<Picture> picture = pictures(member);
    // Nothing came: the next member takes this cell.
    if (!picture) continue;
    // A picture that could not be decoded leaves its cell green.
    if (!picture->empty()) canvas.picture_stretched(group_cell(row, cell), *picture, Stretch::IntoRect);
    ++cell;
  }

  draw_centred_white_text(canvas, group_row_label(row), two_digits(row), kRowNumberFont);
  canvas.fill_rect(group_row_marker(row, outer_width), kCurrentGroupRowColour);
  canvas.fill_rect(group_row_marker(previous_group_row(row), outer_width), kPreviousGroupRowColour);
}

void draw_group_warning(Canvas& canvas) {
  const int right = kGroupListArea.width;
  draw_centred_white_text(canvas, Rect::edges(0, 550, right, 565), u"Ne pas laisser cette fenêtre longtemps ouverte",
                          kGroupWarningFont);
  draw_centred_white_text(canvas, Rect::edges(0, 570, right, 585), u"car elle consomme beaucoup de ressources réseau",
                          kGroupWarningFont);
}

Growth group_list_growth(const Rect& main_frame) {
  const Point origin = main_frame.top_left() + Point{100, 135};
  Growth growth{origin, {}, widen_group_list};
  for (int s = 0; s <= 200; s += 20) growth.unfolding.push_back({origin + Point{s / 4, -s}, {s, s}});
  return growth;
}

GroupListScreen::GroupListScreen(const relay::MemberTable& members, MemberPictures pictures, int& next_row,
                                 Surface& surface, ToolWindowHost& host)
    : members_(members), pictures_(std::move(pictures)), next_row_(next_row), surface_(surface), host_(host) {
  surface_.paint([](Canvas& canvas) { canvas.fill_rect(kGroupListArea, kGroupListWindowLook.background); });
}

void GroupListScreen::start() {
  surface_.paint([](Canvas& canvas) { canvas.fill_vertical_gradient(kGroupListArea, kBlack, kWhite); });
}

void GroupListScreen::tick() {
  // The counter lives outside the window; it is kept in range even if
  // something else disturbed it.
  if (next_row_ < 1 || next_row_ > kGroupListRows) next_row_ = 1;
  const int row = next_row_;
  const int outer_width = host_.outer_size().width;
  next_row_ = next_row_ % kGroupListRows + 1;
  surface_.paint([&](Canvas& canvas) {
    draw_group_row(canvas, row, members_, pictures_, outer_width);
    draw_group_warning(canvas);
  });
  surface_.present(kGroupListArea);
}

}  // namespace marvok::screen
