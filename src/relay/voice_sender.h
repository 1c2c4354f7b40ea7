#pragma once

#include <cstdint>
#include <span>

#include "audio/level_meter.h"
#include "relay/datagrams.h"
#include "relay/relay_session.h"

namespace marvok::relay {

// Turns each block of the member's speech into one numbered voice datagram,
// moves the transmit needles and turns the NETWORK ring while the member talks.
class VoiceSender {
 public:
  VoiceSender(const RelaySession& session, SessionState& state, LevelMeterState& meters)
      : session_(session), state_(state), meters_(meters) {}

  // Called once per captured block while the member talks; the block is only
  // valid during the call.
  void send_voice_block(std::span<const std::uint8_t, kVoiceBlockSize> block);

  std::uint8_t next_sequence() const { return sequence_; }

 private:
  void turn_ring();

  const RelaySession& session_;
  SessionState& state_;
  LevelMeterState& meters_;
  Buffer buffer_{};
  // 1 at start, never reset: not by a change of channel, not between spurts.
  std::uint8_t sequence_ = 1;
  int ring_step_ = 0;
  int ring_cell_ = 15;
};

}  // namespace marvok::relay
