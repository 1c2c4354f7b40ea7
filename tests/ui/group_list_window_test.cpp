#include "ui/qt/group_list_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>

#include "relay/member_table.h"

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

class GroupListWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(100, 300, 550, 730);
    main.show();
  }

  ToolWindow& open() {
    EXPECT_EQ(toggle.toggle(), 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(toggle.is_open());
    return *toggle.window();
  }

  // The colour near the right of row `row`'s marker, which is placed from
  // the frame's outer width: from the inner width it would end before.
  static QColor marker_of(const ToolWindow& window, int row) {
    const screen::Rect marker = screen::group_row_marker(row, window.frameGeometry().width());
    return window.surface().pixelColor(marker.x + 8, marker.y + 5);
  }

  relay::MemberTable members;
  QWidget main;
  GroupListWindowToggle toggle{main, members, {}, {0ms, 0ms}};
};

TEST_F(GroupListWindowTest, OpensAboveTheMainWindowAndKeepsItsGrownSize) {
  const ToolWindow& window = open();
  EXPECT_EQ(window.objectName(), QStringLiteral("GroupWndClass"));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Marvok Group List"));
  EXPECT_EQ(window.parentWidget(), &main);
  EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating) && window.testAttribute(Qt::WA_DeleteOnClose));
  EXPECT_EQ(window.frameGeometry().topLeft(), main.frameGeometry().topLeft() + QPoint(150, -65));
  EXPECT_EQ(window.size(), QSize(666, 650));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_TRUE(window.ready() && window.timer_running());
}

TEST_F(GroupListWindowTest, EachTickDrawsTheNextRowIntoTheWindow) {
  ToolWindow& window = open();
  const QColor undrawn = marker_of(window, 3);
  window.tick();
  window.tick();
  EXPECT_EQ(marker_of(window, 1), QColor(100, 150, 255));
  EXPECT_EQ(marker_of(window, 2), QColor(255, 0, 0));
  EXPECT_EQ(marker_of(window, 3), undrawn);
}

TEST_F(GroupListWindowTest, ClosingStopsAndReopeningContinuesWithTheNextRow) {
  const QPointer<ToolWindow> window = &open();
  window->tick();
  window->tick();
  toggle.toggle();
  EXPECT_FALSE(toggle.is_open());
  ASSERT_FALSE(window.isNull());  // deleted later, from the event loop
  EXPECT_FALSE(window->timer_running());
  window->tick();  // a late tick draws nothing and keeps the counter
  EXPECT_EQ(toggle.next_row(), 3);

  ToolWindow& reopened = open();
  reopened.tick();
  EXPECT_EQ(marker_of(reopened, 3), QColor(255, 0, 0));
  EXPECT_NE(marker_of(reopened, 1), QColor(100, 150, 255));
}

}  // namespace
}  // namespace marvok::ui
