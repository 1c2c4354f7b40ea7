#pragma once

#include <cstdint>

#include "relay/speech_activity.h"
#include "state/session_state.h"

namespace marvok::screen {

// The NETWORK ring and the UDP light following the speech. While the member
// talks, every third block sent turns the ring dark red with one green cell,
// which steps backwards around it. While the member listens, each block that
// plays marks the ring cell playback has just left green, and the UDP light
// alternates blue and green every five blocks. Writes only light cells, which
// the panels draw.
class NetworkRingAnimation final : public relay::SpeechActivity {
 public:
  NetworkRingAnimation(LightsState& lights, const TalkState& talk) : lights_(lights), talk_(talk) {}

  void block_sent() override;
  void block_played() override;

 private:
  LightsState& lights_;
  const TalkState& talk_;
  // The sending thread's.
  int ring_step_ = 0;
  int ring_cell_ = 15;
  // The receiving thread's.
  int blink_counter_ = 0;
};

}  // namespace marvok::screen
