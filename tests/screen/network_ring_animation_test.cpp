#include "screen/network_ring_animation.h"

#include <gtest/gtest.h>

#include <vector>

namespace marvok::screen {
namespace {

// While the member talks, every third block sent darkens the ring around one
// green cell, which steps backwards from the last cell and wraps.
TEST(NetworkRingAnimationTest, TalkingTurnsOneGreenCellBackwardsEveryThirdBlock) {
  LightsState lights;
  TalkState talk;
  NetworkRingAnimation animation(lights, talk);
  const auto green_cells = [&lights] {
    std::vector<std::size_t> green;
    for (std::size_t k = 0; k < lights.NetworkRing.size(); ++k)
      if (lights.NetworkRing[k].load() == LedColor::Green) green.push_back(k);
    return green;
  };
  for (int i = 0; i < 2; ++i) animation.block_sent();
  EXPECT_TRUE(green_cells().empty());
  animation.block_sent();
  EXPECT_EQ(green_cells(), std::vector<std::size_t>{15});
  EXPECT_EQ(lights.NetworkRing[0].load(), LedColor::DarkRed);
  for (int i = 0; i < 3; ++i) animation.block_sent();
  EXPECT_EQ(green_cells(), std::vector<std::size_t>{14});
  // 257 blocks: the green cell has been lit 85 times.
  for (int i = 6; i < 257; ++i) animation.block_sent();
  EXPECT_EQ(green_cells(), std::vector<std::size_t>{15 - 84 % 16});
}

// While listening, a block played marks the cell playback has just left; the
// UDP light alternates every five blocks, talking or not.
TEST(NetworkRingAnimationTest, PlayedBlocksMarkTheRingOnlyWhileListeningAndBlinkTheUdpLight) {
  LightsState lights;
  TalkState talk;
  NetworkRingAnimation animation(lights, talk);
  lights.PlaybackCursorCell = 6;
  talk.set_key(TalkValue::Pressed);
  animation.block_played();
  EXPECT_EQ(lights.NetworkRing[6].load(), LedColor::Blue);
  talk.set_key(TalkValue::Released);
  std::vector<LedColor> udp = {lights.UdpLed.load()};
  for (int i = 0; i < 10; ++i) {
    animation.block_played();
    udp.push_back(lights.UdpLed.load());
  }
  EXPECT_EQ(lights.NetworkRing[6].load(), LedColor::Green);
  const LedColor blue = LedColor::Blue, green = LedColor::Green;
  // The block played while talking counted as the first of five.
  EXPECT_EQ(udp, (std::vector<LedColor>{blue, blue, blue, blue, blue, green, green, green, green, green, blue}));
}

}  // namespace
}  // namespace marvok::screen
