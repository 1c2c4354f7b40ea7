#include "ui/qt/network_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <memory>
#include <vector>

#include "relay/member_table.h"
#include "state/session_state.h"

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

constexpr int kChannel = 3;
constexpr std::uint32_t kRed = 0xFFFF0000;

// Every member listed has a small red picture.
std::optional<Picture> red_picture(std::uint16_t) { return Picture{8, 8, std::vector<std::uint32_t>(64, kRed)}; }

void list_members(relay::MemberTable& table, int channel, const std::vector<std::int32_t>& ids) {
  table.ChannelMemberCounts[channel] = static_cast<std::int32_t>(ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) table.ChannelMembers[channel][i] = ids[i];
}

// Runs the application until `window` is deleted or `limit` has passed.
void wait_for_deletion(const QPointer<ToolWindow>& window, std::chrono::milliseconds limit) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!window.isNull() && elapsed.elapsed() < limit.count()) {
    QEventLoop loop;
    QTimer::singleShot(10ms, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

class NetworkWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(100, 50, 550, 730);
    main.show();
    channel.ChannelPort = 30000 + kChannel;
    channel.ChannelMemberCount = 3;
    list_members(members, kChannel, {11, 12, 13});
  }

  // Opens the window and lets its first full paint happen.
  ToolWindow& open() {
    EXPECT_EQ(toggle->toggle(), 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(toggle->is_open());
    return *toggle->window();
  }

  // Whether grid cell `index` shows a picture (red) in the backing image.
  static bool cell_shows_picture(const ToolWindow& window, int index) {
    const screen::Rect cell = screen::network_cell(index);
    return window.surface().pixel(cell.x + 30, cell.y + 40) == kRed;
  }

  ChannelState channel;
  relay::MemberTable members;
  QWidget main;
  std::unique_ptr<NetworkWindowToggle> toggle =
      std::make_unique<NetworkWindowToggle>(main, channel, members, red_picture, screen::GrowthPauses{0ms, 0ms});
};

TEST_F(NetworkWindowTest, DoesNothingOnChannelZero) {
  channel.ChannelPort = 30000;
  EXPECT_EQ(toggle->toggle(), 1);
  EXPECT_FALSE(toggle->is_open());
  EXPECT_TRUE(main.findChildren<ToolWindow*>().isEmpty());
}

TEST_F(NetworkWindowTest, OpensOwnedBesideTheMainWindowAndShowsTheChannel) {
  const ToolWindow& window = open();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Marvok Network"));
  EXPECT_EQ(window.objectName(), QStringLiteral("NetworkWndClass"));
  EXPECT_EQ(window.parentWidget(), &main);
  EXPECT_TRUE(window.isWindow() && window.isVisible() && window.ready() && window.timer_running());
  EXPECT_FALSE(window.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating) && window.testAttribute(Qt::WA_DeleteOnClose));
  // Offscreen frames are 2 pixels wide: the main window's frame ends at
  // x = 652 and starts at y = 48. The growth climbs from y = 248 to there.
  ASSERT_EQ(main.frameGeometry(), QRect(98, 48, 554, 734));
  EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(652, 48));
  EXPECT_EQ(window.size(), QSize(315, 460));
  EXPECT_TRUE(cell_shows_picture(window, 2));
  EXPECT_FALSE(cell_shows_picture(window, 3));
}

TEST_F(NetworkWindowTest, ANewCountIsShownAtTheTickItself) {
  ToolWindow& window = open();
  list_members(members, kChannel, {11, 12, 13, 14});
  channel.ChannelMemberCount = 4;
  window.tick();
  EXPECT_TRUE(cell_shows_picture(window, 3));
}

TEST_F(NetworkWindowTest, ClosesItselfBackOnChannelZeroAtTheNextTickOrPaint) {
  for (const bool by_paint : {false, true}) {
    SCOPED_TRACE(by_paint ? "paint" : "tick");
    channel.ChannelPort = 30000 + kChannel;
    const QPointer<ToolWindow> window = &open();
    channel.ChannelPort = 30000;
    if (by_paint) window->repaint();
    // A paint closes at once; the tick comes within the second.
    wait_for_deletion(window, by_paint ? 200ms : 1500ms);
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(toggle->is_open());
  }
}

TEST_F(NetworkWindowTest, SecondToggleOrCloseBoxClosesAndTheNextToggleReopens) {
  for (const bool by_close_box : {false, true}) {
    SCOPED_TRACE(by_close_box ? "close box" : "toggle");
    const QPointer<ToolWindow> window = &open();
    if (by_close_box) {
      window->close();
    } else {
      EXPECT_EQ(toggle->toggle(), 1);
    }
    EXPECT_FALSE(toggle->is_open());
    EXPECT_FALSE(window->timer_running());
    wait_for_deletion(window, 200ms);
    EXPECT_TRUE(window.isNull());
  }
  EXPECT_TRUE(open().ready());
}

TEST_F(NetworkWindowTest, ToggleDuringTheGrowthClosesTheGrowingWindow) {
  int second = -1;
  QTimer::singleShot(0, &main, [&] { second = toggle->toggle(); });
  EXPECT_EQ(toggle->toggle(), 1);
  EXPECT_EQ(second, 1);
  EXPECT_FALSE(toggle->is_open());
  EXPECT_EQ(open().size(), QSize(315, 460));
}

TEST_F(NetworkWindowTest, TheWindowGoesWithTheToggle) {
  const QPointer<ToolWindow> window = &open();
  toggle.reset();
  EXPECT_TRUE(window.isNull());
}

}  // namespace
}  // namespace marvok::ui
