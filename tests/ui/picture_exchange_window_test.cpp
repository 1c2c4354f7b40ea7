#include "ui/picture_exchange_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <string>

#include "state/session_state.h"

namespace marvok::ui {
namespace {

// Red on the left half, blue on the right, so a shifted or mirrored drawing shows.
QImage halves(QSize size) {
  QImage picture(size, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QPainter(&picture).fillRect(size.width() / 2, 0, size.width(), size.height(), Qt::blue);
  return picture;
}

TEST(PictureFitTest, LargestCentredRectKeepingProportions) {
  const struct {
    QSize picture, area;
    QRect expected;
  } cases[] = {
      {{300, 150}, {584, 541}, {0, 124, 584, 292}},
      {{100, 400}, {584, 541}, {224, 0, 135, 541}},
      {{2, 1}, {600, 400}, {0, 50, 600, 300}},
      {{4000, 3000}, {600, 541}, {0, 45, 600, 450}},
      {{0, 150}, {584, 541}, {}},
      {{300, 150}, {0, 541}, {}},
      {{-300, 150}, {584, 541}, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(fit_picture(c.picture, c.area), c.expected) << c.picture.width();
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
  std::optional<QImage> reply;
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
  toggle.toggle();
  EXPECT_FALSE(toggle.is_open());
  channel.ChannelPort = 30003;
  toggle.toggle();
  ASSERT_TRUE(toggle.is_open());
  QApplication::processEvents();
  EXPECT_EQ(window().windowTitle(), QStringLiteral("Marvok Echange et Partage"));
  EXPECT_TRUE(window().parentWidget() == &main && window().isWindow() && window().isVisible());
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

TEST_F(PictureExchangeWindowTest, FetchesOncePerDisplayAndKeepsThePictureWhenNothingCame) {
  QImage red(20, 20, QImage::Format_RGB32), blue = red;
  red.fill(Qt::red);
  blue.fill(Qt::blue);
  const struct {
    const char* step;
    std::optional<QImage> reply;
    QColor centre;  // invalid: the background
    const char* calls;
  } steps[] = {
      {"open", std::nullopt, {}, "d3"},        {"refresh", red, Qt::red, "d3"},
      {"repaint", blue, Qt::red, ""},          {"refresh", std::nullopt, Qt::red, "d3"},
      {"toggle", std::nullopt, Qt::red, "d3"}, {"close box", blue, Qt::blue, "d3"},
      {"refresh", QImage(), {}, "d3"},         {"send", red, Qt::red, "u5d5"},  // on channel 5 meanwhile
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
    EXPECT_EQ(shown().pixelColor(300, 250), s.centre.isValid() ? s.centre : window().palette().color(QPalette::Base));
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

TEST_F(PictureExchangeWindowTest, DrawsThePictureSmoothlyFittedIntoTheAreaBelowTheMenuBar) {
  reply = halves({300, 150});
  toggle.toggle();
  window().resize(584, 541 + window().menuBar()->height());
  ASSERT_EQ(window().picture_area().geometry(), QRect(0, window().menuBar()->height(), 584, 541));
  const QImage image = shown();  // drawn 584 × 292 at (0, 124)
  // The system's window colour: white, not the grey of dialogs.
  const QColor background = window().palette().color(QPalette::Base);
  EXPECT_EQ(background, QColor(Qt::white));
  const std::pair<QPoint, QColor> pixels[] = {
      {{2, 126}, Qt::red},    {{288, 300}, Qt::red},    {{296, 300}, Qt::blue},
      {{581, 413}, Qt::blue}, {{292, 120}, background}, {{292, 419}, background},
  };
  for (const auto& [at, colour] : pixels) EXPECT_EQ(image.pixelColor(at), colour) << at.x() << "," << at.y();
  const QColor seam = image.pixelColor(292, 300);  // blended where the halves meet
  EXPECT_TRUE(seam != QColor(Qt::red) && seam != QColor(Qt::blue));
}

}  // namespace
}  // namespace marvok::ui
