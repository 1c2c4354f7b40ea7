#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>

#include "audio/playback_queue.h"
#include "relay/datagrams.h"
#include "relay/relay_session.h"
#include "relay/speech_activity.h"
#include "state/session_state.h"

namespace marvok::relay {

// Plays one Opus packet; returns the frames per channel played, 0 or less
// when nothing was played.
using OpusPlayer = std::function<int(std::span<const std::uint8_t> packet)>;

// What the client does with the speech the relay forwards: drops duplicates,
// counts losses, queues or plays the audio, notes the speaker, keeps the
// datagram and loss lights up to date and tells the window each block played.
class VoiceReceiver {
 public:
  VoiceReceiver(SessionState& state, VoiceBlockQueue& queue, OpusPlayer play_opus_packet, SpeechActivity& activity)
      : state_(state), queue_(queue), play_opus_packet_(std::move(play_opus_packet)), activity_(activity) {}

  // Empties the playback queue; done once when the receiving thread starts.
  void start();
  // One datagram received from the relay.
  void handle_datagram(Bytes datagram);
  // Half a second without a datagram.
  void handle_silence();

  // Speech datagrams taken in, duplicates left out; for diagnostics, from any thread.
  std::uint64_t accepted_count() const { return accepted_count_.load(std::memory_order_relaxed); }

 private:
  void play_audio(const IncomingVoice& voice, bool& played);

  SessionState& state_;
  VoiceBlockQueue& queue_;
  OpusPlayer play_opus_packet_;
  SpeechActivity& activity_;
  int received_count_ = 0;
  std::uint8_t lost_count_ = 0;
  std::uint8_t last_sequence_ = 0;
  std::atomic<std::uint64_t> accepted_count_ = 0;
};

// Receives and handles the relay's speech until stopped, waiting at most
// half a second for each datagram.
void run_voice_receiver(std::stop_token stop, const RelaySession& session, VoiceReceiver& receiver);

}  // namespace marvok::relay
