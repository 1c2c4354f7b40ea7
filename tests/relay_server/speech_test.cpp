#include <gtest/gtest.h>

#include <algorithm>

#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

TEST(RelaySpeech, MembersOfAChannelHearEachOtherAndNobodyElse) {
  RunningRelay relay;
  TestClient alice(10);
  TestClient bob(11);
  TestClient carol(12);
  alice.join(2);
  bob.join(2);
  carol.join(7);

  const Block block = tone_block(440.0, 9000.0, 0);
  alice.speak(2, block);
  const auto heard = bob.receive_voice();
  ASSERT_TRUE(heard);
  EXPECT_EQ(heard->size(), relay::kVoiceDatagramSize);
  const auto voice = relay::read_incoming_voice(*heard);
  ASSERT_TRUE(voice);
  EXPECT_EQ(voice->kind, relay::VoiceKind::PcmA);
  EXPECT_EQ(voice->speaker, 10);
  EXPECT_EQ(voice->content_flag, relay::kAudioBlock);
  EXPECT_EQ(voice->sequence, 1);
  ASSERT_TRUE(voice->pcm);
  EXPECT_TRUE(std::equal(voice->pcm->begin(), voice->pcm->end(), block.begin(), block.end()));
  EXPECT_FALSE(alice.receive_voice(200ms)) << "the speaker heard itself";
  EXPECT_FALSE(carol.receive_voice(1ms)) << "another channel heard the speech";

  bob.speak(2, filled_block(5));
  const auto answer = alice.receive_voice();
  ASSERT_TRUE(answer);
  EXPECT_EQ(relay::read_incoming_voice(*answer)->speaker, 11);
  EXPECT_EQ(relay::read_incoming_voice(*answer)->sequence, 1) << "each receiver counts from 1";
}

TEST(RelaySpeech, EachReceiverGetsAGapFreeSequenceThatWraps) {
  RunningRelay relay;
  TestClient alice(1);
  TestClient bob(2);
  TestClient carol(3);
  alice.join(1);
  bob.join(1);
  carol.join(1);

  std::uint8_t alice_expects = 1;
  std::uint8_t bob_expects = 1;
  std::uint8_t carol_expects = 1;
  const auto expect_next = [](TestClient& receiver, std::uint8_t& expected, std::uint16_t speaker) {
    const auto datagram = receiver.receive_voice();
    ASSERT_TRUE(datagram);
    const auto voice = relay::read_incoming_voice(*datagram);
    ASSERT_TRUE(voice);
    EXPECT_EQ(voice->speaker, speaker);
    EXPECT_EQ(voice->sequence, expected);
    ++expected;
  };
  // Carol hears both speakers through one counter, so hers goes past 255.
  for (int i = 0; i < 300; ++i) {
    if (i % 3 == 2) {
      bob.speak(1, filled_block(static_cast<std::uint8_t>(i)));
      expect_next(alice, alice_expects, 2);
      expect_next(carol, carol_expects, 2);
    } else {
      alice.speak(1, filled_block(static_cast<std::uint8_t>(i)));
      expect_next(bob, bob_expects, 1);
      expect_next(carol, carol_expects, 1);
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_EQ(carol_expects, static_cast<std::uint8_t>(301));
  EXPECT_EQ(bob_expects, static_cast<std::uint8_t>(201));
}

TEST(RelaySpeech, ClientKnownOnlyByPresenceStillHearsAndGetsLists) {
  RunningRelay relay;
  TestClient speaker(30);
  TestClient listener(31);
  speaker.join(8);
  // As after a relay restart: the client sends no hellos again.
  listener.send_presences(8);
  ASSERT_TRUE(listener.wait_until_listed(8, 31));

  speaker.speak(8, filled_block(9));
  const auto heard = listener.receive_voice();
  ASSERT_TRUE(heard);
  EXPECT_EQ(relay::read_incoming_voice(*heard)->speaker, 30);
}

TEST(RelaySpeech, SpeechBeforePresenceIsNotForwarded) {
  RunningRelay relay;
  TestClient stranger(40);
  TestClient listener(41);
  listener.join(3);
  stranger.say_hello();
  stranger.speak(3, filled_block(1));
  EXPECT_FALSE(listener.receive_voice(200ms));
  relay.stop();
  EXPECT_EQ(relay.counters().stray_datagrams, 1u);
}

}  // namespace
}  // namespace marvok::relay_server::testing
