// What the member's keys, clicks and pointer do in the main window, and when
// its frame is painted, whichever front end shows it.
#include "screen/main_screen.h"

#include <gtest/gtest.h>

#include "screen/main_layout.h"
#include "tests/screen/recording_canvas.h"

namespace marvok::screen {
namespace {

TEST(MainWindowPlacementTest, CentredOnTheScreen) {
  EXPECT_EQ(centred_top_left({1920, 1080}, kMainWindowSize), (Point{685, 175}));
  EXPECT_EQ(centred_top_left({1366, 768}, kMainWindowSize), (Point{408, 19}));
  EXPECT_EQ(centred_top_left({1025, 701}, {550, 730}), (Point{237, -15}));
}

TEST(KnobLevelTest, FollowsTheAngleClockwiseFromStraightDown) {
  const Rect knob = grown_for_clicks(Rect(115, 220, 60, 60));  // centre (145, 250)
  const struct {
    Point at;
    float level;
  } cases[] = {
      {{145, 290}, 0.0f},  // straight below
      {{105, 250}, 0.3f},  // left
      {{145, 210}, 0.6f},  // straight above
      {{185, 250}, 0.9f},  // right
      {{175, 280}, 1.0f},  // four o'clock and lower on the right
      {{146, 290}, 1.0f},
  };
  for (const auto& c : cases) EXPECT_NEAR(knob_level(knob, c.at), c.level, 0.01f) << c.at.x << "," << c.at.y;
}

TEST(KeyCommandTest, KeysOfTheTable) {
  using Kind = KeyCommand::Kind;
  const struct {
    Key key;
    KeyCommand command;
  } cases[] = {
      {{KeyName::Digit, 3}, {Kind::Channel, 3}},
      {{KeyName::KeypadDigit, 0}, {Kind::Channel, 0}},
      {{KeyName::KeypadPlus}, {Kind::Channel, 10}},
      {{KeyName::Digit, 10}, {Kind::Inactive}},
      {{KeyName::Space}, {Kind::Talk}},
      {{KeyName::Escape}, {Kind::CloseClient}},
      {{KeyName::F1}, {Kind::About}},
      {{KeyName::Other}, {Kind::Inactive}},
  };
  for (const auto& c : cases) EXPECT_EQ(key_command(c.key), c.command) << static_cast<int>(c.key.name);
}

class MainScreenTest : public ::testing::Test {
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
    screen_.set_commands(std::move(commands));
    screen_.set_control_rects({Rect(25, 220, 60, 60), Rect(115, 220, 60, 60), Rect(205, 220, 60, 60)});
  }

  std::vector<std::string>& drawn() { return surface_.canvas.lines(); }

  SessionState state_;
  RecordingSurface surface_{kMainWindowSize};
  int closes_ = 0;
  MainScreen screen_{state_, surface_, [this] { ++closes_; }};
  std::vector<std::string> done_;
  std::vector<std::u16string> spoken_;
  std::vector<std::pair<platform::AudioEndpoint, float>> levels_;
};

TEST_F(MainScreenTest, SpaceTalksUntilReleasedAndLosingTheKeyboardReleasesWhatSpacePressedOnly) {
  screen_.key_down({KeyName::Space});
  EXPECT_TRUE(state_.talk.is_talking());
  EXPECT_EQ(state_.SecondsLeft.load(), 0);
  screen_.key_up({KeyName::Space});
  EXPECT_FALSE(state_.talk.is_talking());
  EXPECT_EQ(state_.SecondsLeft.load(), kCountdownSeconds);

  // Each way the keyboard can go: focus, activation, a box disabling the window, closing it.
  for (const auto lose : {+[](MainScreen& s) { s.keyboard_lost(); }, +[](MainScreen& s) { s.set_foreground(false); },
                          +[](MainScreen& s) { s.close(); }}) {
    screen_.key_down({KeyName::Space});
    lose(screen_);
    EXPECT_FALSE(state_.talk.is_talking());
  }
  state_.talk.set_key(TalkValue::Pressed);  // the speech companion's "T"
  screen_.keyboard_lost();
  EXPECT_TRUE(state_.talk.is_talking());
}

TEST_F(MainScreenTest, ChannelKeysMoveTheClientAndOtherKeysAreInactive) {
  screen_.key_down({KeyName::Digit, 3});
  EXPECT_EQ(state_.channel.ChannelPort.load(), 30003);
  EXPECT_EQ(state_.channel.ChannelMemberCount.load(), -1);
  screen_.key_down({KeyName::KeypadPlus});
  EXPECT_EQ(state_.channel.ChannelPort.load(), 30010);
  screen_.key_down({KeyName::Other});
  screen_.key_down({KeyName::F1});
  EXPECT_EQ(done_, (std::vector<std::string>{"inactive", "about"}));
  screen_.key_up({KeyName::Other});  // any key's release restarts the count
  EXPECT_EQ(state_.SecondsLeft.load(), kCountdownSeconds);
  screen_.key_down({KeyName::Escape});
  EXPECT_EQ(closes_, 1);
}

TEST_F(MainScreenTest, ClicksActInTheirOrder) {
  screen_.left_click({145, 290});  // straight below the MIC GAIN knob
  screen_.left_click({274, 250});  // 10 pixels right of the VOLUME knob's picture
  ASSERT_EQ(levels_.size(), 2u);
  EXPECT_EQ(levels_[0].first, platform::AudioEndpoint::DefaultCapture);
  EXPECT_NEAR(levels_[0].second, 0.0f, 0.01f);
  EXPECT_EQ(levels_[1].first, platform::AudioEndpoint::DefaultRender);
  EXPECT_NEAR(levels_[1].second, 0.9f, 0.01f);

  screen_.left_click({55, 250});   // PARAMS
  screen_.left_click({400, 400});  // NETWORK
  screen_.left_click({100, 150});  // CHANNEL panel
  screen_.left_click({320, 620});  // documentation
  screen_.left_click({400, 500});  // picture, on channel 0: nothing
  state_.channel.ChannelPort = 30004;
  screen_.left_click({400, 500});  // picture
  screen_.left_click({20, 20});    // voice help
  screen_.left_click({450, 630});  // credit
  EXPECT_EQ(done_, (std::vector<std::string>{"params", "network", "groups", "documentation", "picture", "companion",
                                             "about"}));
  screen_.left_click({525, 25});  // close cross
  screen_.left_click({525, 25});
  EXPECT_EQ(closes_, 1);
  EXPECT_TRUE(screen_.closed());
}

TEST_F(MainScreenTest, RightClickReadsTheHelpAndHoverShowsIt) {
  screen_.right_click({400, 500});
  screen_.right_click({150, 250});  // on the knob's picture only, not around it
  screen_.right_click({20, 20});    // the voice-help icon says nothing
  screen_.pointer_moved({400, 400});
  EXPECT_EQ(state_.display.InfoLine.get(), u"Cliquez sur NETWORK pour voir les correspondants");
  screen_.right_click({300, 500});
  EXPECT_EQ(state_.display.InfoLine.get(), kWelcomeText);
  EXPECT_EQ(spoken_,
            (std::vector<std::u16string>{u"Cliquez sur cette animation pour ouvrir ou envoyer une image partagée",
                                         u"Cliquez autour de ce bouton pour régler le niveau d'entrée du microphone",
                                         u"Il n'y a rien de spécial ici"}));
  // The band's help shows on both systems: the Windows window hands its
  // caption's pointer moves over too.
  screen_.pointer_moved({100, 50});
  EXPECT_EQ(state_.display.InfoLine.get(), u"Cliquez ici pour déplacer la fenêtre Marvok");
}

// The band drags on a left press, over the needle meters too, and takes no
// other button.
TEST_F(MainScreenTest, TheTitleBandDragsAndIsSilentToOtherButtons) {
  const struct {
    Button button;
    Point at;
    PressOutcome outcome;
    std::size_t spoken;
  } cases[] = {
      {Button::Left, {300, 50}, PressOutcome::StartDrag, 0}, {Button::Left, {250, 90}, PressOutcome::StartDrag, 0},
      {Button::Right, {300, 50}, PressOutcome::Handled, 0},  {Button::Right, {100, 90}, PressOutcome::Handled, 0},
      {Button::Right, {100, 150}, PressOutcome::Handled, 1}, {Button::Left, {49, 50}, PressOutcome::Handled, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(screen_.button_pressed(c.button, c.at), c.outcome) << c.at.x << "," << c.at.y;
    EXPECT_EQ(spoken_.size(), c.spoken) << c.at.x << "," << c.at.y;
  }
  EXPECT_TRUE(done_.empty());
}

TEST_F(MainScreenTest, CloseCrossTurnsYellowUnderThePointerOnlyWhenItChanges) {
  drawn().clear();
  screen_.pointer_moved({525, 25});
  screen_.pointer_moved({526, 26});
  screen_.pointer_moved({300, 300});
  const auto crosses = surface_.canvas.lines_starting("line 520,20");
  ASSERT_EQ(crosses.size(), 2u);
  EXPECT_EQ(crosses[0], "line 520,20 530,30 4 #ffff00 smooth");
  EXPECT_EQ(crosses[1], "line 520,20 530,30 4 #ff0000 smooth");
}

TEST_F(MainScreenTest, TheFrameIsPaintedOnlyWhereAndWhenAsked) {
  screen_.paint_frame_if_asked();  // the whole window, once, at first
  EXPECT_EQ(surface_.canvas.lines_starting("clip"), std::vector<std::string>{"clip 0,0+550x730"});
  EXPECT_EQ(screen_.frame_generation(), 1);
  EXPECT_TRUE(state_.display.ForceRefetch.load());
  drawn().clear();
  screen_.paint_frame_if_asked();
  EXPECT_TRUE(drawn().empty());

  screen_.request_repaint(Rect(200, 300, 20, 20));
  screen_.request_repaint(Rect(100, 300, 20, 20));
  screen_.set_frame_overlay([](Canvas& canvas) { canvas.fill_rect({1, 2, 3, 4}, kGreen); });
  screen_.paint_frame_if_asked();
  EXPECT_EQ(drawn().front(), "clip 100,300+120x20");
  EXPECT_EQ(drawn()[drawn().size() - 2], "fill 1,2+3x4 #ff00");
  EXPECT_EQ(drawn().back(), "unclip");
  EXPECT_EQ(screen_.frame_generation(), 2);

  // A closed window draws nothing more.
  screen_.close();
  drawn().clear();
  screen_.draw(Rect(0, 0, 10, 10), [](Canvas& canvas) { canvas.fill_rect({0, 0, 10, 10}, kGreen); });
  EXPECT_TRUE(drawn().empty());
}

}  // namespace
}  // namespace marvok::screen
