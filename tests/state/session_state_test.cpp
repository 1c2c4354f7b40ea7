#include "state/session_state.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace marvok {
namespace {

TEST(SessionStateTest, StartsWithTheDocumentedValues) {
  const SessionState state;
  EXPECT_EQ(std::string(state.identity.MachineId.data()), "");
  EXPECT_EQ(state.identity.MemberId.load(), kPlaceholderMemberId);
  EXPECT_EQ(state.identity.MemberName.get(), "");

  EXPECT_EQ(state.channel.ChannelPort.load(), 30000);
  EXPECT_EQ(state.channel.ChannelMemberCount.load(), 0);
  EXPECT_EQ(state.channel.SpeakerId.load(), 0);

  EXPECT_EQ(state.talk.key(), TalkValue::Released);
  EXPECT_EQ(state.talk.pedal(), TalkValue::Released);
  EXPECT_FALSE(state.talk.is_talking());
  EXPECT_EQ(state.SecondsLeft.load(), 0);

  EXPECT_EQ(state.display.BackgroundColor.load(), 0u);
  EXPECT_EQ(state.display.InfoLine.get(), u"");
  EXPECT_EQ(state.display.StatusText.get(), u"");
  EXPECT_FALSE(state.display.ForceRefetch.load());
  EXPECT_FALSE(state.display.PanelsReady.load());
  EXPECT_EQ(state.display.CloseCrossShown.load(), CrossVisibility::Hidden);

  EXPECT_EQ(state.devices.SelectedInputDevice.load(), -1);
  EXPECT_EQ(state.devices.SavedMicLevel.load(), 0.0f);
}

// The relay carries the first, third and fifth characters and compares them
// one by one, so the version is three single digits and two dots.
TEST(SessionStateTest, VersionIsThreeSingleDigits) {
  const std::string_view version = kClientVersion;
  ASSERT_EQ(version.size(), 5u) << version;
  for (const std::size_t digit : {0, 2, 4}) EXPECT_TRUE(version[digit] >= '0' && version[digit] <= '9') << version;
  EXPECT_EQ(version[1], '.');
  EXPECT_EQ(version[3], '.');
}

TEST(SessionStateTest, LightsStartBlueWithTheErrorLevelDark) {
  const SessionState state;
  for (const LedCell* cell : {&state.lights.TstLed, &state.lights.HttpsLed, &state.lights.TxRxLed, &state.lights.UdpLed,
                              &state.lights.SvcLed, &state.lights.TcpLed})
    EXPECT_EQ(cell->load(), LedColor::Blue);
  for (const LedCell& cell : state.lights.ErrorLevelLeds) EXPECT_EQ(cell.load(), LedColor::DarkBlue);
}

TEST(SessionStateTest, InputDeviceSlotsResetToTheDefaultDriver) {
  SessionState state;
  state.devices.InputDeviceTable[3].device_id = 7;
  state.devices.InputDeviceTable[3].endpoint_name = u"Micro USB";
  state.devices.SelectedInputDevice = 2;
  state.devices.reset_input_devices();
  for (const InputDeviceEntry& entry : state.devices.InputDeviceTable) {
    EXPECT_EQ(entry.device_id, -1);
    EXPECT_EQ(entry.endpoint_index, -1);
    EXPECT_EQ(entry.icon_path, u"");
    EXPECT_EQ(entry.endpoint_name, u"Windows Driver");
    EXPECT_EQ(entry.device_name, u"Windows Driver");
  }
  EXPECT_EQ(state.devices.SelectedInputDevice.load(), -1);
}

TEST(SessionStateTest, MemberIdAndItsWireBytesChangeTogether) {
  IdentityState identity;
  identity.set_member_id(0x1234);
  EXPECT_EQ(identity.MemberId.load(), 0x1234);
  EXPECT_EQ(identity.MemberIdWire.load().high, 0x12);
  EXPECT_EQ(identity.MemberIdWire.load().low, 0x34);
}

TEST(TalkStateTest, EitherSourceMakesTheClientTalk) {
  TalkState talk;
  talk.set_pedal(TalkValue::Pressed);
  EXPECT_TRUE(talk.is_talking());
  talk.set_key(TalkValue::Pressed);
  talk.set_pedal(TalkValue::Released);
  EXPECT_TRUE(talk.is_talking());
  talk.set_key(TalkValue::Released);
  EXPECT_FALSE(talk.is_talking());
}

TEST(TalkStateTest, TheLastWriterOfTheKeySourceWins) {
  // The Space key and the speech companion share one source: a release from
  // either ends the talk the other started.
  TalkState talk;
  talk.set_key(TalkValue::Pressed);   // Space down
  talk.set_key(TalkValue::Released);  // companion says "R"
  EXPECT_FALSE(talk.is_talking());
}

TEST(TalkStateTest, ConcurrentWritersAndReadersSeeOnlyWrittenValues) {
  TalkState talk;
  std::vector<std::jthread> threads;
  threads.emplace_back([&] {
    for (int i = 0; i < 20000; ++i) talk.set_key(i % 2 ? TalkValue::Pressed : TalkValue::Released);
  });
  threads.emplace_back([&] {
    for (int i = 0; i < 20000; ++i) talk.set_pedal(i % 2 ? TalkValue::Pressed : TalkValue::Released);
  });
  for (int i = 0; i < 20000; ++i) {
    const TalkValue key = talk.key();
    ASSERT_TRUE(key == TalkValue::Pressed || key == TalkValue::Released);
  }
}

TEST(GuardedTextTest, CutsTextsThatDoNotFitTheBuffer) {
  GuardedText<char16_t, 5> text(u"abcdefgh");
  EXPECT_EQ(text.get(), u"abcd");
  text.set(u"xy");
  EXPECT_EQ(text.get(), u"xy");
}

TEST(LedColorTest, OnlyTheSixCodesAreDrawn) {
  EXPECT_FALSE(led_color_of(static_cast<LedColor>(0)).has_value());
  EXPECT_FALSE(led_color_of(static_cast<LedColor>(7)).has_value());
  EXPECT_FALSE(led_color_of(static_cast<LedColor>(-1)).has_value());
  EXPECT_EQ(led_color_of(static_cast<LedColor>(4)), LedColor::Yellow);
  EXPECT_STREQ(led_image_name(LedColor::DarkRed), "LedDarkRed.bmp");
  EXPECT_STREQ(led_image_name(LedColor::Yellow), "LedYellow.bmp");
}

}  // namespace
}  // namespace marvok
