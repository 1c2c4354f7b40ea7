// How the Qt main window hands the member's keys, buttons and focus to the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/qt/main_window.h"
#include "ui/qt/qt_keys.h"

namespace marvok::ui {
namespace {

using screen::KeyName;

TEST(QtKeysTest, DigitsAreKnownByTheirPlaceWhateverTheLayout) {
  const struct {
    PressedKey key;
    screen::Key screen_key;
  } cases[] = {
      {{Qt::Key_3, false, 12}, {KeyName::Digit, 3}},         // main row
      {{Qt::Key_3, true, 89}, {KeyName::KeypadDigit, 3}},    // numeric pad
      {{Qt::Key_Plus, true, 86}, {KeyName::KeypadPlus}},     // pad plus
      {{Qt::Key_Plus, false, 21}, {KeyName::Other}},         // the main row's plus is not a channel
      {{Qt::Key_QuoteDbl, false, 12}, {KeyName::Digit, 3}},  // AZERTY "3" key without Shift
      {{Qt::Key_Agrave, false, 19}, {KeyName::Digit, 0}},    // AZERTY "0" key
      {{Qt::Key_PageDown, true, 89}, {KeyName::Other}},      // pad 3 with Num Lock off
      {{Qt::Key_Space, false, 65}, {KeyName::Space}},
      {{Qt::Key_Escape, false, 9}, {KeyName::Escape}},
      {{Qt::Key_F1, false, 67}, {KeyName::F1}},
      {{Qt::Key_Shift, false, 50}, {KeyName::Other}},
  };
  for (const auto& c : cases) EXPECT_EQ(screen_key(c.key), c.screen_key) << c.key.qt_key;
}

class MainWindowInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    screen::MainWindowCommands commands;
    commands.speak = [this](std::u16string_view text) { spoken_.emplace_back(text); };
    window_.screen().set_commands(std::move(commands));
  }

  void key(QEvent::Type type, int qt_key, bool repeat = false) {
    QKeyEvent event(type, qt_key, Qt::NoModifier, QString(), repeat);
    QApplication::sendEvent(&window_, &event);
  }

  void press(Qt::MouseButton button, QPoint at) {
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(at), window_.mapToGlobal(QPointF(at)), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(&window_, &event);
  }

  SessionState state_;
  MainWindow window_{state_};
  std::vector<std::u16string> spoken_;
};

TEST_F(MainWindowInputTest, HeldSpaceStaysOnePressAndTheKeyboardGoingElsewhereReleasesIt) {
  key(QEvent::KeyPress, Qt::Key_Space);
  EXPECT_TRUE(state_.talk.is_talking());
  // X11 repeats a held key as release and press pairs.
  for (int i = 0; i < 5; ++i) {
    key(QEvent::KeyRelease, Qt::Key_Space, true);
    EXPECT_TRUE(state_.talk.is_talking());
    key(QEvent::KeyPress, Qt::Key_Space, true);
  }
  key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_FALSE(state_.talk.is_talking());
  EXPECT_EQ(state_.SecondsLeft.load(), kCountdownSeconds);

  QFocusEvent focus_out(QEvent::FocusOut);
  key(QEvent::KeyPress, Qt::Key_Space);
  QApplication::sendEvent(&window_, &focus_out);  // the Space release will go elsewhere
  EXPECT_FALSE(state_.talk.is_talking());
  key(QEvent::KeyPress, Qt::Key_Space);
  window_.setEnabled(false);  // a notice took the window
  EXPECT_FALSE(state_.talk.is_talking());
}

TEST_F(MainWindowInputTest, ButtonsReachTheScreenAndTheBandTakesNoRightClick) {
  press(Qt::RightButton, {300, 50});
  press(Qt::RightButton, {100, 150});  // the CHANNEL panel below the band reads its help
  EXPECT_EQ(spoken_, std::vector<std::u16string>{u"Cliquez dans ce cadre pour voir tous les groupes"});
}

}  // namespace
}  // namespace marvok::ui
