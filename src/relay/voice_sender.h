#pragma once

#include <cstdint>
#include <span>

#include "relay/datagrams.h"
#include "relay/relay_session.h"

namespace marvok::relay {

// Turns each block of the member's speech into one numbered voice datagram,
// moves the transmit needles and turns the NETWORK ring while the member talks.
class VoiceSender {
 public:
  explicit VoiceSender(const RelaySession& session) : session_(session) {}

  // Called once per captured block while the member talks; the block is only
  // valid during the call.
  void send_voice_block(std::span<const std::uint8_t, kVoiceBlockSize> block);

  std::uint8_t next_sequence() const { return sequence_; }

 private:
  void turn_ring();

  const RelaySession& session_;
  Buffer buffer_{};
  // 1 at start, never reset: not by a change of channel, not between spurts.
  std::uint8_t sequence_ = 1;
  int ring_step_ = 0;
  int ring_cell_ = 15;
};

// The sender of this client's speech, on the process-wide relay session.
void send_voice_block(std::span<const std::uint8_t, kVoiceBlockSize> block);

}  // namespace marvok::relay
