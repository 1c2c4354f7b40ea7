#include "ui/group_list_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "relay/member_table.h"

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

// m, o, c: the pictures of members 11, 12, 13; G green; R red; b light blue.
const std::string kLetters = "mocGRb";
const QColor kColours[] = {{200, 0, 200}, {255, 128, 0}, {0, 255, 255}, {0, 255, 0}, {255, 0, 0}, {100, 150, 255}};
const std::string kUndrawn = "-?????????????????";

// Members 11 to 13 have pictures, 15's does not decode, the others have none.
std::optional<QImage> fake_picture(std::uint16_t member) {
  if (member == 15) return QImage();
  if (member < 11 || member > 13) return std::nullopt;
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(kColours[member - 11]);
  return picture;
}

// The letter of an area's colour, judged by its corners and centre; ? when
// they differ or the colour is none of the above.
char letter(const QImage& image, const QRect& area) {
  const QColor colour = image.pixelColor(area.topLeft());
  for (const QPoint at : {area.topRight(), area.bottomLeft(), area.bottomRight(), area.center()})
    if (image.pixelColor(at) != colour) return '?';
  const auto* known = std::find(std::begin(kColours), std::end(kColours), colour);
  return known == std::end(kColours) ? '?' : kLetters[known - std::begin(kColours)];
}

// A row as text: # when its number shows (white over the darker gradient),
// else -, then one letter a cell and one for the marker.
std::string row_of(const GroupListWindow& window, int row) {
  const QImage& image = window.surface();
  const int top = 51 * row - 41;
  std::string text(1, '-');
  for (int y = top + 10; y < top + 25; ++y) {
    for (int x = 2; x < 17; ++x)
      if (qGray(image.pixel(x, y)) >= 240) text[0] = '#';
  }
  for (int cell = 0; cell < 16; ++cell) text += letter(image, QRect(20 + 38 * cell, top, 33, 41));
  return text + letter(image, QRect(window.frameGeometry().width() - 35, top + 11, 10, 10));
}

void list_members(relay::MemberTable& table, int channel, std::int32_t count, const std::vector<std::int32_t>& ids) {
  table.ChannelMemberCounts[channel] = count;
  for (std::size_t i = 0; i < ids.size(); ++i) table.ChannelMembers[channel][i] = ids[i];
}

class GroupListWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(100, 300, 550, 730);
    main.show();
  }

  GroupListWindow& open(GroupListWindowToggle& with) {
    with.toggle();
    QCoreApplication::processEvents();
    EXPECT_TRUE(with.is_open());
    return *with.window();
  }

  relay::MemberTable members;
  QWidget main;
  GroupListWindowToggle toggle{main, members, fake_picture, {0ms, 0ms}};
};

TEST_F(GroupListWindowTest, RowShowsPicturesOfItsChannelThenGreen) {
  const std::tuple<std::int32_t, std::vector<std::int32_t>, const char*> cases[] = {
      {0, {}, "#GGGGGGGGGGGGGGGGR"},
      {3, {11, 14, 13}, "#mcGGGGGGGGGGGGGGR"},  // 14 has no picture
      {3, {11, 15, 13}, "#mGcGGGGGGGGGGGGGR"},  // 15's does not decode
      {40, std::vector<std::int32_t>(16, 12), "#ooooooooooooooooR"},
      {-3, {11}, "#GGGGGGGGGGGGGGGGR"},
  };
  // The neighbours' lists must not leak into row 1.
  list_members(members, 0, 16, std::vector<std::int32_t>(16, 13));
  list_members(members, 2, 16, std::vector<std::int32_t>(16, 13));
  for (const auto& [count, listed, row] : cases) {
    SCOPED_TRACE(row);
    list_members(members, 1, count, listed);
    GroupListWindowToggle own{main, members, fake_picture, {0ms, 0ms}};
    GroupListWindow& window = open(own);
    window.tick();
    EXPECT_EQ(row_of(window, 1), row);
    EXPECT_EQ(row_of(window, 2), kUndrawn);
    // The gap between two cells keeps the gradient.
    EXPECT_LT(qGray(window.surface().pixel(20 + 33 + 2, 30)), 60);
  }
}

TEST_F(GroupListWindowTest, AfterRowTenTheNextTickRedrawsRowOneAndMovesTheRedMarker) {
  GroupListWindow& window = open(toggle);
  EXPECT_EQ(window.frameGeometry().topLeft(), main.frameGeometry().topLeft() + QPoint(150, -65));
  for (int row = 1; row <= 10; ++row) window.tick();
  EXPECT_EQ(row_of(window, 9).back(), 'b');
  EXPECT_EQ(row_of(window, 10).back(), 'R');
  list_members(members, 1, 1, {13});
  window.tick();
  EXPECT_EQ(row_of(window, 1), "#cGGGGGGGGGGGGGGGR");
  EXPECT_EQ(row_of(window, 10), "#GGGGGGGGGGGGGGGGb");
  EXPECT_EQ(toggle.next_row(), 2);
}

TEST_F(GroupListWindowTest, ClosingStopsAndReopeningContinuesWithTheNextRow) {
  const QPointer<GroupListWindow> window = &open(toggle);
  window->tick();
  window->tick();
  toggle.toggle();
  EXPECT_FALSE(toggle.is_open());
  ASSERT_FALSE(window.isNull());  // deleted later, from the event loop
  EXPECT_FALSE(window->timer_running());
  window->tick();  // a late tick draws nothing and keeps the counter
  EXPECT_EQ(toggle.next_row(), 3);

  GroupListWindow& reopened = open(toggle);
  reopened.tick();
  EXPECT_EQ(row_of(reopened, 3), "#GGGGGGGGGGGGGGGGR");
  EXPECT_EQ(row_of(reopened, 1), kUndrawn);
}

}  // namespace
}  // namespace marvok::ui
