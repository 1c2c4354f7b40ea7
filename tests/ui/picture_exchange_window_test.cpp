#include "ui/qt/picture_exchange_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <string>
#include <vector>

#include "state/session_state.h"

namespace marvok::ui {
namespace {

Picture plain(int width, int height, std::uint32_t colour) {
  return {width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), colour)};
}

class PictureExchangeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main.setGeometry(300, 100, 550, 730);
    main.show();
    channel.ChannelPort = 30003;
  }
  PictureExchangeWindow& window() const { return *toggle.window(); }
  // What the area shows, painted as the window system would ask for it.
  QImage shown() const { return window().picture_area().grab().toImage(); }
  void choose(const QString& text) const {
    for (QAction* action : window().menuBar()->findChildren<QAction*>())
      if (action->text() == text) action->trigger();
  }

  ChannelState channel;
  std::string calls;  // "d3" for a download on channel 3, "u5" for an upload on channel 5
  std::optional<Picture> reply;
  std::function<void()> during_upload = [] {};
  QWidget main;
  PictureExchangeWindowToggle toggle{main,
                                     channel,
                                     {[this](int group) {
                                        calls += "d" + std::to_string(group);
                                        return reply;
                                      },
                                      [this](int group) {
                                        calls += "u" + std::to_string(group);
                                        during_upload();
                                      }}};
};

TEST_F(PictureExchangeWindowTest, OpensOffChannelZeroBesideTheMainWindowAndLeavesItInFront) {
  channel.ChannelPort = 30000;
  EXPECT_EQ(toggle.toggle(), 1);
  EXPECT_FALSE(toggle.is_open());
  channel.ChannelPort = 30003;
  EXPECT_EQ(toggle.toggle(), 1);
  ASSERT_TRUE(toggle.is_open());
  QApplication::processEvents();
  EXPECT_EQ(window().objectName(), QStringLiteral("CanvasWndClass"));
  EXPECT_EQ(window().windowTitle(), QStringLiteral("Marvok Echange et Partage"));
  EXPECT_TRUE(window().parentWidget() == &main && window().isWindow() && window().isVisible());
  EXPECT_TRUE(window().testAttribute(Qt::WA_ShowWithoutActivating) && window().testAttribute(Qt::WA_DeleteOnClose));
  EXPECT_EQ(window().frameGeometry().topLeft(), main.frameGeometry().topLeft() + QPoint(-200, 50));
  EXPECT_EQ(window().size(), QSize(600, 600));
  QStringList menu;
  for (const QAction* item : window().menuBar()->actions()[0]->menu()->actions()) menu << item->text();
  EXPECT_EQ(window().menuBar()->actions()[0]->text() + ": " + menu.join(","), "Fichier: Actualiser,Envoyer");
  EXPECT_EQ(QApplication::activeWindow(), &main);

  window().activateWindow();
  QApplication::processEvents();
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(9, 9), QPointF(9, 9), Qt::LeftButton, {}, {});
  QApplication::sendEvent(&window().picture_area(), &release);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), &main);
}

TEST_F(PictureExchangeWindowTest, MenuAndClosingFetchAgainThePictureStaysAcrossWindows) {
  const QColor red(Qt::red), blue(Qt::blue);
  const struct {
    const char* step;
    std::optional<Picture> reply;
    QColor centre;  // invalid: the window's white ground
    const char* calls;
  } steps[] = {
      {"open", std::nullopt, {}, "d3"},
      {"refresh", plain(20, 20, 0xFFFF0000), red, "d3"},
      {"repaint", plain(20, 20, 0xFF0000FF), red, ""},
      {"toggle", std::nullopt, red, "d3"},
      {"close box", plain(20, 20, 0xFF0000FF), blue, "d3"},
      {"send", plain(20, 20, 0xFFFF0000), red, "u5d5"},  // on channel 5 meanwhile
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.step);
    const std::string step = s.step;
    reply = s.reply;
    calls.clear();
    if (step == "toggle" || step == "open") toggle.toggle();
    if (step == "close box") window().close();
    if (step == "toggle" || step == "close box") toggle.toggle();
    if (step == "refresh") choose(QStringLiteral("Actualiser"));
    if (step == "send") {
      channel.ChannelPort = 30005;
      choose(QStringLiteral("Envoyer"));
    }
    EXPECT_EQ(shown().pixelColor(300, 250), s.centre.isValid() ? s.centre : QColor(Qt::white));
    EXPECT_EQ(calls, s.calls);
  }

  // Closed and deleted while the file dialog was up: "Envoyer" ends quietly.
  const QPointer<PictureExchangeWindow> closed = &window();
  during_upload = [&] {
    closed->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };
  choose(QStringLiteral("Envoyer"));
  EXPECT_TRUE(closed.isNull() && !toggle.is_open());
}

TEST_F(PictureExchangeWindowTest, ThePictureIsFittedIntoTheAreaBelowTheMenuBar) {
  reply = plain(300, 150, 0xFFFF0000);
  toggle.toggle();
  window().resize(584, 541 + window().menuBar()->height());
  ASSERT_EQ(window().picture_area().geometry(), QRect(0, window().menuBar()->height(), 584, 541));
  const QImage image = shown();  // drawn 584 × 292 at (0, 124)
  const std::pair<QPoint, QColor> pixels[] = {
      {{2, 126}, Qt::red}, {{581, 413}, Qt::red}, {{292, 120}, Qt::white}, {{292, 419}, Qt::white}};
  for (const auto& [at, colour] : pixels) EXPECT_EQ(image.pixelColor(at), colour) << at.x() << "," << at.y();
}

}  // namespace
}  // namespace marvok::ui
