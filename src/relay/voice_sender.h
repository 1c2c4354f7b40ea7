#pragma once

#include <cstdint>
#include <span>

#include "audio/level_meter.h"
#include "relay/datagrams.h"
#include "relay/relay_session.h"
#include "relay/speech_activity.h"

namespace marvok::relay {

// Turns each block of the member's speech into one numbered voice datagram,
// moves the transmit needles and tells the window each block that went.
class VoiceSender {
 public:
  VoiceSender(const RelaySession& session, const IdentityState& identity, const ChannelState& channel,
              LevelMeterState& meters, SpeechActivity& activity)
      : session_(session), identity_(identity), channel_(channel), meters_(meters), activity_(activity) {}

  // Called once per captured block while the member talks; the block is only
  // valid during the call.
  void send_voice_block(std::span<const std::uint8_t, kVoiceBlockSize> block);

  std::uint8_t next_sequence() const { return sequence_; }

 private:
  const RelaySession& session_;
  const IdentityState& identity_;
  const ChannelState& channel_;
  LevelMeterState& meters_;
  SpeechActivity& activity_;
  Buffer buffer_{};
  // 1 at start, never reset: not by a change of channel, not between spurts.
  std::uint8_t sequence_ = 1;
};

}  // namespace marvok::relay
