#include "ui/group_list_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <string>
#include <vector>

#include "relay/member_table.h"

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

const QColor kGreen(0, 255, 0), kRed(255, 0, 0), kLightBlue(100, 150, 255), kBlue(0, 0, 255);

// One letter a cell: m, o, c for the pictures of members 11, 12, 13, G for
// green, ? for anything else or a cell not of one colour.
const std::string kLetters = "mocG";
const QColor kColours[] = {{200, 0, 200}, {255, 128, 0}, {0, 255, 255}, kGreen};

// Members 11 to 13 have pictures, 15's does not decode, the others have none.
std::optional<QImage> fake_picture(std::uint16_t member) {
  if (member == 15) return QImage();
  if (member < 11 || member > 13) return std::nullopt;
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(kColours[member - 11]);
  return picture;
}

int row_top(int row) { return 51 * row - 41; }

// The colour of a rectangle judged by its corners and centre; invalid when
// they differ.
QColor uniform_colour(const QImage& image, const QRect& area) {
  const QColor colour = image.pixelColor(area.topLeft());
  for (const QPoint at : {area.topRight(), area.bottomLeft(), area.bottomRight(), area.center()})
    if (image.pixelColor(at) != colour) return {};
  return colour;
}

// The sixteen cells of a row as letters.
std::string cells_of(const QImage& image, int row) {
  std::string letters(16, '?');
  for (int cell = 0; cell < 16; ++cell) {
    const QColor colour = uniform_colour(image, QRect(20 + 38 * cell, row_top(row), 33, 41));
    for (std::size_t i = 0; i < kLetters.size(); ++i)
      if (kColours[i] == colour) letters[cell] = kLetters[i];
  }
  return letters;
}

// How many pixels of `area` are close to white: text, over a background that
// is darker there.
int bright_pixels(const QImage& image, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) count += qGray(image.pixel(x, y)) >= 240 ? 1 : 0;
  return count;
}

QRect label_area(int row) { return QRect(2, row_top(row) + 10, 15, 15); }

QColor marker_colour(const QImage& image, int outer_width, int row) {
  return uniform_colour(image, QRect(outer_width - 35, 51 * row - 30, 10, 10));
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

  GroupListWindow& open() {
    toggle.toggle();
    QCoreApplication::processEvents();
    EXPECT_TRUE(toggle.is_open());
    return *toggle.window();
  }

  relay::MemberTable members;
  QWidget main;
  GroupListWindowToggle toggle{main, members, fake_picture, {0ms, 0ms}};
};

TEST_F(GroupListWindowTest, OpensOwnedAboveTheMainWindowOverAGradient) {
  {
    // Before anything is drawn the window shows blue.
    int row = 1;
    GroupListWindow unopened(main, members, fake_picture, row, QPoint(0, 0));
    unopened.resize(100, 100);
    EXPECT_EQ(unopened.grab().toImage().pixelColor(50, 50), kBlue);
  }
  const GroupListWindow& window = open();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Marvok Group List"));
  EXPECT_EQ(window.parentWidget(), &main);
  EXPECT_TRUE(window.isWindow() && window.isVisible() && window.ready() && window.timer_running());
  EXPECT_EQ(window.frameGeometry().topLeft(), main.frameGeometry().topLeft() + QPoint(150, -65));
  EXPECT_EQ(window.size(), QSize(666, 650));

  const QImage& surface = window.surface();
  ASSERT_EQ(surface.size(), QSize(666, 650));
  EXPECT_LE(qGray(surface.pixel(300, 0)), 5);
  EXPECT_NEAR(qGray(surface.pixel(300, 325)), 128, 6);
  EXPECT_GE(qGray(surface.pixel(300, 649)), 250);
  EXPECT_EQ(bright_pixels(surface, QRect(0, 550, 666, 35)), 0);
}

TEST_F(GroupListWindowTest, RowShowsPicturesOfItsChannelThenGreen) {
  const std::vector<std::int32_t> sixteen(16, 12);
  const struct {
    const char* name;
    std::int32_t count;
    std::vector<std::int32_t> listed;
    const char* cells;
  } cases[] = {
      {"empty channel", 0, {}, "GGGGGGGGGGGGGGGG"},
      {"three with pictures", 3, {11, 12, 13}, "mocGGGGGGGGGGGGG"},
      {"second had nothing", 3, {11, 14, 13}, "mcGGGGGGGGGGGGGG"},
      {"second did not decode", 3, {11, 15, 13}, "mGcGGGGGGGGGGGGG"},
      {"count above the list", 40, sixteen, "oooooooooooooooo"},
      {"negative count", -3, {11}, "GGGGGGGGGGGGGGGG"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    relay::MemberTable table;
    // Neighbouring channels' lists must not leak into row 1.
    list_members(table, 0, 16, std::vector<std::int32_t>(16, 13));
    list_members(table, 2, 16, std::vector<std::int32_t>(16, 13));
    list_members(table, 1, c.count, c.listed);
    GroupListWindowToggle own{main, table, fake_picture, {0ms, 0ms}};
    own.toggle();
    ASSERT_TRUE(own.is_open());
    own.window()->tick();
    const QImage& surface = own.window()->surface();
    EXPECT_EQ(cells_of(surface, 1), c.cells);
    EXPECT_GT(bright_pixels(surface, label_area(1)), 0);
    EXPECT_EQ(cells_of(surface, 2), "????????????????");
    EXPECT_EQ(bright_pixels(surface, label_area(2)), 0);
    // The gap between two cells keeps the gradient.
    EXPECT_LT(qGray(surface.pixel(20 + 33 + 2, row_top(1) + 20)), 60);
  }
}

TEST_F(GroupListWindowTest, TicksGoRoundTheTenRowsMarkingTheLastTwo) {
  GroupListWindow& window = open();
  const int outer_width = window.frameGeometry().width();
  for (int row = 1; row <= 10; ++row) {
    EXPECT_EQ(toggle.next_row(), row);
    window.tick();
  }
  const QImage& surface = window.surface();
  EXPECT_GT(bright_pixels(surface, QRect(0, 550, 666, 15)), 0);
  EXPECT_GT(bright_pixels(surface, QRect(0, 570, 666, 15)), 0);
  EXPECT_EQ(cells_of(surface, 10), "GGGGGGGGGGGGGGGG");
  EXPECT_EQ(marker_colour(surface, outer_width, 10), kRed);
  EXPECT_EQ(marker_colour(surface, outer_width, 9), kLightBlue);
  EXPECT_EQ(marker_colour(surface, outer_width, 1), kLightBlue);

  // Row 1 comes round again and shows what the channel holds now.
  list_members(members, 1, 1, {13});
  EXPECT_EQ(toggle.next_row(), 1);
  window.tick();
  EXPECT_EQ(cells_of(surface, 1), "cGGGGGGGGGGGGGGG");
  EXPECT_EQ(marker_colour(surface, outer_width, 1), kRed);
  EXPECT_EQ(marker_colour(surface, outer_width, 10), kLightBlue);
  EXPECT_EQ(toggle.next_row(), 2);
  // Below the rows and the warning the gradient is untouched.
  EXPECT_GE(qGray(surface.pixel(300, 649)), 250);
}

TEST_F(GroupListWindowTest, ClosingStopsAndReopeningContinuesWithTheNextRow) {
  for (const bool by_close_box : {false, true}) {
    SCOPED_TRACE(by_close_box ? "close box" : "toggle");
    const QPointer<GroupListWindow> window = &open();
    const int next = toggle.next_row();
    window->tick();
    window->tick();
    if (by_close_box)
      window->close();
    else
      toggle.toggle();
    EXPECT_FALSE(toggle.is_open());
    ASSERT_FALSE(window.isNull());  // deleted later, from the event loop
    EXPECT_FALSE(window->timer_running());
    EXPECT_TRUE(window->surface().isNull());
    window->tick();  // a late tick draws nothing and keeps the counter
    EXPECT_EQ(toggle.next_row(), next + 2);

    GroupListWindow& reopened = open();
    reopened.tick();
    const QImage& surface = reopened.surface();
    EXPECT_EQ(cells_of(surface, next + 2), "GGGGGGGGGGGGGGGG");
    EXPECT_EQ(marker_colour(surface, reopened.frameGeometry().width(), next + 2), kRed);
    EXPECT_EQ(cells_of(surface, next), "????????????????");
    toggle.toggle();
  }
}

}  // namespace
}  // namespace marvok::ui
