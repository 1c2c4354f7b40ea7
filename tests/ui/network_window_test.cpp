#include "ui/network_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QPointer>
#include <string>
#include <vector>

#include "relay/member_table.h"
#include "state/session_state.h"

namespace marvok::ui {
namespace {

using namespace std::chrono_literals;

constexpr int kChannel = 3;

// One letter a cell: r, b, c for the pictures of members 11, 12, 13, G for
// green, Y for the yellow background, ? for a cell not of one colour.
const std::string kLetters = "rbcGY";
const QColor kColours[] = {{255, 0, 0}, {0, 0, 255}, {0, 255, 255}, {0, 255, 0}, {255, 255, 0}};

// Members 11 to 13 have pictures, 15's cannot be had, the others have none.
std::optional<QImage> fake_picture(std::uint16_t member) {
  if (member == 15) return QImage();
  if (member < 11 || member > 13) return std::nullopt;
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(kColours[member - 11]);
  return picture;
}

// The sixteen cells across then down, each judged by its corners and centre.
std::string cells_of(const QImage& image) {
  std::string letters;
  for (int cell = 0; cell < 16; ++cell) {
    const QPoint at(10 + 71 * (cell % 4), 10 + 88 * (cell / 4));
    const QColor colour = image.pixelColor(at);
    char letter = '?';
    for (std::size_t i = 0; i < kLetters.size(); ++i)
      if (kColours[i] == colour) letter = kLetters[i];
    for (const QPoint inside : {QPoint(65, 0), QPoint(0, 82), QPoint(65, 82), QPoint(33, 41)})
      if (image.pixelColor(at + inside) != colour) letter = '?';
    letters += letter;
  }
  return letters;
}

void list_members(relay::MemberTable& table, int channel, std::int32_t count, const std::vector<std::int32_t>& ids) {
  table.ChannelMemberCounts[channel] = count;
  for (std::size_t i = 0; i < ids.size(); ++i) table.ChannelMembers[channel][i] = ids[i];
}

TEST(NetworkGridTest, PicturesFirstThenGreenForThePlacesLeft) {
  const std::vector<std::int32_t> sixteen(16, 12);
  const struct {
    const char* name;
    std::int32_t port, count;
    std::vector<std::int32_t> listed;
    bool with_source;
    const char* cells;
  } cases[] = {
      {"three with pictures", 30003, 3, {11, 12, 13}, true, "rbcGGGGGGGGGGGGG"},
      {"one without picture", 30003, 3, {11, 14, 13}, true, "rcGGGGGGGGGGGGGY"},
      {"one picture failed", 30003, 3, {11, 15, 13}, true, "rYcGGGGGGGGGGGGG"},
      {"no picture source", 30003, 3, {11, 12, 13}, false, "GGGGGGGGGGGGGYYY"},
      {"count above the list", 30003, 40, sixteen, true, "bbbbbbbbbbbbbbbb"},
      {"negative count", 30003, -1, {11}, true, "GGGGGGGGGGGGGGGG"},
      {"unknown channel", 30050, 3, {11, 12, 13}, true, "GGGGGGGGGGGGGGGG"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ChannelState channel;
    channel.ChannelPort = c.port;
    relay::MemberTable table;
    // Neighbouring channels' lists must not leak into this one's.
    list_members(table, kChannel - 1, 16, std::vector<std::int32_t>(16, 13));
    list_members(table, kChannel + 1, 16, std::vector<std::int32_t>(16, 13));
    list_members(table, kChannel, c.count, c.listed);
    QImage image(kNetworkWindowSize, QImage::Format_RGB32);
    image.fill(kColours[4]);
    QPainter painter(&image);
    draw_correspondents(painter, channel, table, c.with_source ? PictureSource(fake_picture) : PictureSource());
    painter.end();
    EXPECT_EQ(cells_of(image), c.cells);
    for (const QPoint gap : {QPoint(78, 40), QPoint(40, 95), QPoint(300, 300)})
      EXPECT_EQ(image.pixelColor(gap), kColours[4]);
  }
}

class NetworkWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(100, 50, 550, 730);
    main.show();
    channel.ChannelPort = 30000 + kChannel;
    channel.ChannelMemberCount = 3;
    list_members(members, kChannel, 3, {11, 12, 13});
  }

  // Opens the window and lets its first full paint happen.
  NetworkWindow& open() {
    EXPECT_EQ(toggle.toggle(), 1);
    QCoreApplication::processEvents();
    EXPECT_TRUE(toggle.is_open());
    return *toggle.window();
  }

  // Runs the application until `window` is deleted or `limit` has passed.
  static void wait_for_deletion(const QPointer<NetworkWindow>& window, std::chrono::milliseconds limit) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!window.isNull() && elapsed.elapsed() < limit.count()) {
      QEventLoop loop;
      QTimer::singleShot(10ms, &loop, &QEventLoop::quit);
      loop.exec();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
  }

  ChannelState channel;
  relay::MemberTable members;
  int picture_requests = 0;
  QWidget main;
  NetworkWindowToggle toggle{main, channel, members,
                             [this](std::uint16_t member) {
                               ++picture_requests;
                               return fake_picture(member);
                             },
                             0ms};
};

TEST_F(NetworkWindowTest, DoesNothingOnChannelZero) {
  channel.ChannelPort = 30000;
  EXPECT_EQ(toggle.toggle(), 1);
  EXPECT_FALSE(toggle.is_open());
  EXPECT_TRUE(main.findChildren<NetworkWindow*>().isEmpty());
}

TEST_F(NetworkWindowTest, OpensOwnedBesideTheMainWindowAndShowsTheChannel) {
  const NetworkWindow& window = open();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Marvok Network"));
  EXPECT_EQ(window.objectName(), QStringLiteral("NetworkWndClass"));
  EXPECT_EQ(window.parentWidget(), &main);
  EXPECT_TRUE(window.isWindow() && window.isVisible() && window.ready());
  EXPECT_FALSE(window.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
  // Offscreen frames are 2 pixels wide: the main window's frame ends at
  // x = 652 and starts at y = 48. The growth climbs from y = 248 to there.
  ASSERT_EQ(main.frameGeometry(), QRect(98, 48, 554, 734));
  EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(652, 48));
  EXPECT_EQ(window.size(), QSize(315, 460));
  EXPECT_EQ(cells_of(window.surface()), "rbcGGGGGGGGGGGGG");
}

TEST_F(NetworkWindowTest, TickRedrawsOnlyWhenTheMemberCountChanges) {
  NetworkWindow& window = open();
  EXPECT_EQ(picture_requests, 3);  // the opening paint, once
  window.tick();
  list_members(members, kChannel, 4, {11, 12, 13, 11});
  window.tick();
  EXPECT_EQ(picture_requests, 3);
  EXPECT_EQ(cells_of(window.surface()), "rbcGGGGGGGGGGGGG");

  channel.ChannelMemberCount = 4;
  window.tick();
  EXPECT_EQ(cells_of(window.surface()), "rbcrGGGGGGGGGGGG");
}

TEST_F(NetworkWindowTest, ClosesItselfBackOnChannelZeroAtTheNextTickOrPaint) {
  for (const bool by_paint : {false, true}) {
    SCOPED_TRACE(by_paint ? "paint" : "tick");
    channel.ChannelPort = 30000 + kChannel;
    const QPointer<NetworkWindow> window = &open();
    channel.ChannelPort = 30000;
    if (by_paint) window->repaint();
    // A paint closes at once; the tick comes within the second.
    wait_for_deletion(window, by_paint ? 200ms : 1500ms);
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(toggle.is_open());
  }
}

TEST_F(NetworkWindowTest, SecondToggleOrCloseBoxClosesAndTheNextToggleReopens) {
  for (const bool by_close_box : {false, true}) {
    SCOPED_TRACE(by_close_box ? "close box" : "toggle");
    const QPointer<NetworkWindow> window = &open();
    if (by_close_box) {
      window->close();
    } else {
      EXPECT_EQ(toggle.toggle(), 1);
    }
    EXPECT_FALSE(toggle.is_open());
    wait_for_deletion(window, 200ms);
    EXPECT_TRUE(window.isNull());
  }
  EXPECT_TRUE(open().ready());
}

TEST_F(NetworkWindowTest, ToggleDuringTheGrowthClosesTheGrowingWindow) {
  int second = -1;
  QTimer::singleShot(0, &main, [&] { second = toggle.toggle(); });
  EXPECT_EQ(toggle.toggle(), 1);
  EXPECT_EQ(second, 1);
  EXPECT_FALSE(toggle.is_open());
  EXPECT_EQ(open().size(), QSize(315, 460));
}

}  // namespace
}  // namespace marvok::ui
