// What the member's keys, clicks and pointer do in the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/keyboard_commands.h"
#include "ui/main_window.h"
#include "ui/main_window_areas.h"
#include "ui/main_window_layout.h"

namespace marvok::ui {
namespace {

TEST(KnobLevelTest, FollowsTheAngleClockwiseFromStraightDown) {
  const QRect knob = grown_for_clicks(QRect(115, 220, 60, 60));  // centre (145, 250)
  const struct {
    QPoint at;
    float level;
  } cases[] = {
      {{145, 290}, 0.0f},  // straight below
      {{105, 250}, 0.3f},  // left
      {{145, 210}, 0.6f},  // straight above
      {{185, 250}, 0.9f},  // right
      {{175, 280}, 1.0f},  // four o'clock and lower on the right
      {{146, 290}, 1.0f},
  };
  for (const auto& c : cases) EXPECT_NEAR(knob_level(knob, c.at), c.level, 0.01f) << c.at.x() << "," << c.at.y();
}

TEST(KeyCommandTest, KeysOfTheTable) {
  using Kind = KeyCommand::Kind;
  const struct {
    PressedKey key;
    KeyCommand command;
  } cases[] = {
      {{Qt::Key_3, false, 12}, {Kind::Channel, 3}},  // main row
      {{Qt::Key_3, true, 89}, {Kind::Channel, 3}},   // numeric pad
      {{Qt::Key_0, true, 90}, {Kind::Channel, 0}},
      {{Qt::Key_Plus, true, 86}, {Kind::Channel, 10}},      // pad plus
      {{Qt::Key_Plus, false, 21}, {Kind::Inactive}},        // the main row's plus is not a channel
      {{Qt::Key_QuoteDbl, false, 12}, {Kind::Channel, 3}},  // AZERTY "3" key without Shift
      {{Qt::Key_Agrave, false, 19}, {Kind::Channel, 0}},    // AZERTY "0" key
      {{Qt::Key_PageDown, true, 89}, {Kind::Inactive}},     // pad 3 with Num Lock off
      {{Qt::Key_Space, false, 65}, {Kind::Talk}},
      {{Qt::Key_Escape, false, 9}, {Kind::CloseClient}},
      {{Qt::Key_F1, false, 67}, {Kind::About}},
      {{Qt::Key_Shift, false, 50}, {Kind::Inactive}},
      {{Qt::Key_A, false, 38}, {Kind::Inactive}},
  };
  for (const auto& c : cases) EXPECT_EQ(key_command(c.key), c.command) << c.key.qt_key;
}

class MainWindowInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.display.CloseCrossShown = CrossVisibility::Shown;
    MainWindowCommands commands;
    commands.toggle_network_window = [this] { done_.push_back("network"); };
    commands.toggle_group_window = [this] { done_.push_back("groups"); };
    commands.toggle_params_window = [this] { done_.push_back("params"); };
    commands.toggle_picture_window = [this] { done_.push_back("picture"); };
    commands.open_documentation = [this] { done_.push_back("documentation"); };
    commands.show_about_box = [this] { done_.push_back("about"); };
    commands.toggle_companion = [this] { done_.push_back("companion"); };
    commands.show_inactive_key = [this] { done_.push_back("inactive"); };
    commands.speak = [this](std::u16string_view text) { spoken_.emplace_back(text); };
    commands.set_master_level = [this](platform::AudioEndpoint endpoint, float level) {
      levels_.emplace_back(endpoint, level);
    };
    window_.set_commands(std::move(commands));
    window_.set_control_rects({QRect(25, 220, 60, 60), QRect(115, 220, 60, 60), QRect(205, 220, 60, 60)});
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
  std::vector<std::string> done_;
  std::vector<std::u16string> spoken_;
  std::vector<std::pair<platform::AudioEndpoint, float>> levels_;
};

TEST_F(MainWindowInputTest, HeldSpaceStaysOnePressAndItsReleaseRestartsTheCount) {
  key(QEvent::KeyPress, Qt::Key_Space);
  EXPECT_TRUE(state_.talk.is_talking());
  // X11 repeats a held key as release and press pairs.
  for (int i = 0; i < 5; ++i) {
    key(QEvent::KeyRelease, Qt::Key_Space, true);
    EXPECT_TRUE(state_.talk.is_talking());
    key(QEvent::KeyPress, Qt::Key_Space, true);
  }
  EXPECT_EQ(state_.SecondsLeft.load(), 0);
  key(QEvent::KeyRelease, Qt::Key_Space);
  EXPECT_FALSE(state_.talk.is_talking());
  EXPECT_EQ(state_.SecondsLeft.load(), kCountdownSeconds);
}

TEST_F(MainWindowInputTest, LosingTheKeyboardReleasesWhatSpacePressedOnly) {
  QFocusEvent focus_out(QEvent::FocusOut);
  key(QEvent::KeyPress, Qt::Key_Space);
  QApplication::sendEvent(&window_, &focus_out);  // the Space release will go elsewhere
  EXPECT_FALSE(state_.talk.is_talking());

  state_.talk.set_key(TalkValue::Pressed);  // the speech companion's "T"
  QApplication::sendEvent(&window_, &focus_out);
  EXPECT_TRUE(state_.talk.is_talking());

  key(QEvent::KeyPress, Qt::Key_Space);
  window_.setEnabled(false);  // a notice took the window
  EXPECT_FALSE(state_.talk.is_talking());
}

TEST_F(MainWindowInputTest, ChannelKeysMoveTheClientAndOtherKeysAreInactive) {
  window_.key_down(Qt::Key_3, false, 12);
  EXPECT_EQ(state_.channel.ChannelPort.load(), 30003);
  EXPECT_EQ(state_.channel.ChannelMemberCount.load(), -1);
  window_.key_down(Qt::Key_Plus, true, 86);
  EXPECT_EQ(state_.channel.ChannelPort.load(), 30010);
  window_.key_down(Qt::Key_Shift, false, 50);
  window_.key_down(Qt::Key_F1, false, 67);
  EXPECT_EQ(done_, (std::vector<std::string>{"inactive", "about"}));
  window_.key_up(Qt::Key_Shift);  // any key's release restarts the count
  EXPECT_EQ(state_.SecondsLeft.load(), kCountdownSeconds);
}

TEST_F(MainWindowInputTest, ClicksActInTheirOrder) {
  window_.left_click({145, 290});  // straight below the MIC GAIN knob
  window_.left_click({274, 250});  // 10 pixels right of the VOLUME knob's picture
  ASSERT_EQ(levels_.size(), 2u);
  EXPECT_EQ(levels_[0].first, platform::AudioEndpoint::DefaultCapture);
  EXPECT_NEAR(levels_[0].second, 0.0f, 0.01f);
  EXPECT_EQ(levels_[1].first, platform::AudioEndpoint::DefaultRender);
  EXPECT_NEAR(levels_[1].second, 0.9f, 0.01f);

  window_.left_click({55, 250});   // PARAMS
  window_.left_click({400, 400});  // NETWORK
  window_.left_click({100, 150});  // CHANNEL panel
  window_.left_click({320, 620});  // documentation
  window_.left_click({400, 500});  // picture, on channel 0: nothing
  state_.channel.ChannelPort = 30004;
  window_.left_click({400, 500});  // picture
  window_.left_click({20, 20});    // voice help
  window_.left_click({450, 630});  // credit
  EXPECT_EQ(done_, (std::vector<std::string>{"params", "network", "groups", "documentation", "picture", "companion",
                                             "about"}));
  window_.left_click({525, 25});  // close cross
  EXPECT_TRUE(window_.destroyed());
}

TEST_F(MainWindowInputTest, RightClickReadsTheHelpAndHoverShowsIt) {
  window_.right_click({400, 500});
  window_.right_click({150, 250});  // on the knob's picture only, not around it
  window_.right_click({20, 20});    // the voice-help icon says nothing
  window_.pointer_moved({400, 400});
  EXPECT_EQ(state_.display.InfoLine.get(), u"Cliquez sur NETWORK pour voir les correspondants");
  window_.right_click({300, 500});
  EXPECT_EQ(state_.display.InfoLine.get(), kWelcomeText);
  EXPECT_EQ(spoken_,
            (std::vector<std::u16string>{u"Cliquez sur cette animation pour ouvrir ou envoyer une image partagée",
                                         u"Cliquez autour de ce bouton pour régler le niveau d'entrée du microphone",
                                         u"Il n'y a rien de spécial ici"}));
  window_.pointer_moved({100, 50});
  EXPECT_EQ(state_.display.InfoLine.get(), u"Cliquez ici pour déplacer la fenêtre Marvok");
}

TEST_F(MainWindowInputTest, RightButtonIsSilentInTheTitleBand) {
  state_.display.InfoLine.set(u"Cliquez ici pour déplacer la fenêtre Marvok");
  press(Qt::RightButton, {300, 50});
  press(Qt::RightButton, {100, 90});  // where the band overlaps the CHANNEL panel
  EXPECT_TRUE(spoken_.empty());
  EXPECT_EQ(state_.display.InfoLine.get(), u"Cliquez ici pour déplacer la fenêtre Marvok");
  press(Qt::RightButton, {100, 150});  // the panel below the band still reads its help
  EXPECT_EQ(spoken_.size(), 1u);
}

TEST_F(MainWindowInputTest, CloseCrossTurnsYellowUnderThePointer) {
  window_.update_now();
  EXPECT_EQ(window_.surface().pixelColor(525, 25), QColor(255, 0, 0));
  window_.pointer_moved({525, 25});
  EXPECT_EQ(window_.surface().pixelColor(525, 25), QColor(255, 255, 0));
  window_.pointer_moved({300, 300});
  EXPECT_EQ(window_.surface().pixelColor(525, 25), QColor(255, 0, 0));
}

}  // namespace
}  // namespace marvok::ui
