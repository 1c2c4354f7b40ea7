#include "relay/voice_receiver.h"

#include <array>
#include <chrono>
#include <vector>

#include "platform/worker_threads.h"
#include "state/session_state.h"

namespace marvok::relay {

namespace {

constexpr int kSilenceErrorLevel = 99;
constexpr int kCountingWindow = 100;
constexpr auto kReceiveWait = std::chrono::milliseconds(500);

}  // namespace

void VoiceReceiver::start() { queue_.reset(); }

void VoiceReceiver::handle_silence() { state_.lights.ErrorLevel.store(kSilenceErrorLevel, std::memory_order_relaxed); }

void VoiceReceiver::handle_datagram(Bytes datagram) {
  const std::optional<IncomingVoice> voice = read_incoming_voice(datagram);
  if (!voice) {
    set_led(state_.lights.TstLed, LedColor::Yellow);
    return;
  }
  set_led(state_.lights.TstLed, LedColor::Green);
  if (++received_count_ > kCountingWindow) {
    received_count_ = 0;
    lost_count_ = 0;
  }

  if (voice->sequence == last_sequence_) {
    ++lost_count_;  // a duplicate: counted, not played
    return;
  }
  if (voice->sequence != static_cast<std::uint8_t>(last_sequence_ + 1)) ++lost_count_;  // one per gap
  state_.lights.ErrorLevel.store(lost_count_, std::memory_order_relaxed);
  last_sequence_ = voice->sequence;
  accepted_count_.fetch_add(1, std::memory_order_relaxed);

  bool played = true;
  play_audio(*voice, played);
  if (!played) return;

  if (!state_.talk.is_talking()) {
    set_led(
        state_.lights
            .NetworkRing[static_cast<std::size_t>(state_.lights.PlaybackCursorCell.load(std::memory_order_relaxed)) %
                         kNetworkRingCells],
        LedColor::Green);
  }
  state_.channel.SpeakerId.store(voice->speaker, std::memory_order_relaxed);
  blink_udp_light();
}

void VoiceReceiver::play_audio(const IncomingVoice& voice, bool& played) {
  if (voice.kind == VoiceKind::Opus) {
    // A packet whose bytes did not all arrive is not played.
    const int frames = voice.opus ? play_opus_packet_(*voice.opus) : 0;
    played = frames > 0;
    if (played) state_.display.ReceivedFormat.store(StreamFormat::Opus, std::memory_order_relaxed);
    return;
  }
  if (voice.content_flag == kSilentBlock) {
    queue_.queue_silent_block();
  } else if (voice.pcm) {
    const bool attenuate = voice.kind == VoiceKind::PcmB &&
                           state_.channel.ChannelPort.load(std::memory_order_relaxed) == voice_port_of(10);
    queue_.queue_voice_block(voice.pcm->first<kVoiceBlockSize>(),
                             attenuate ? Attenuation::TenthOfAmplitude : Attenuation::None);
    state_.display.ReceivedFormat.store(StreamFormat::Pcm, std::memory_order_relaxed);
  }
}

// While speech arrives the UDP light alternates blue and green every five datagrams.
void VoiceReceiver::blink_udp_light() {
  if (blink_counter_ == 5) {
    set_led(state_.lights.UdpLed, LedColor::Green);
  } else if (blink_counter_ == 0) {
    set_led(state_.lights.UdpLed, LedColor::Blue);
  }
  blink_counter_ = (blink_counter_ + 1) % 10;
}

void run_voice_receiver(std::stop_token stop, const RelaySession& session, VoiceReceiver& receiver) {
  receiver.start();
  // Datagrams are taken in batches: one system call, and one wake-up, for
  // all that waited, so a burst drains before the socket's queue overflows.
  constexpr std::size_t kBatch = 32;
  constexpr std::size_t kSlot = kMaxDatagramSize;
  std::vector<std::uint8_t> area(kBatch * kSlot);
  std::array<platform::UdpSocket::Received, kBatch> received{};
  while (!stop.stop_requested()) {
    if (session.VoiceSocket.wait_readable(kReceiveWait) != platform::UdpSocket::Wait::Readable) {
      receiver.handle_silence();
      // An unusable socket fails at once: pace the loop as a silent one would be.
      if (!session.VoiceSocket.valid() && !sleep_unless_stopped(stop, kReceiveWait)) return;
      continue;
    }
    std::size_t count = session.VoiceSocket.receive_many(area, kSlot, received);
    if (count == 0) {
      receiver.handle_silence();
      continue;
    }
    // A datagram that cannot be read (empty, or larger than a buffer) counts
    // as a silent wait unless it follows one that could be.
    bool after_readable = false;
    do {
      for (std::size_t i = 0; i < count && !stop.stop_requested(); ++i) {
        if (received[i].size == 0) {
          if (!after_readable) receiver.handle_silence();
          after_readable = false;
          continue;
        }
        after_readable = true;
        if (session.from_relay(received[i].from))
          receiver.handle_datagram(std::span(area.data() + i * kSlot, received[i].size));
      }
    } while (!stop.stop_requested() && (count = session.VoiceSocket.receive_many(area, kSlot, received)) > 0);
  }
}

}  // namespace marvok::relay
