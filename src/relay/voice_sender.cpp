#include "relay/voice_sender.h"

#include "audio/level_meter.h"
#include "state/session_state.h"

namespace marvok::relay {

void VoiceSender::send_voice_block(std::span<const std::uint8_t, kVoiceBlockSize> block) {
  const std::uint8_t sequence = sequence_++;
  const std::size_t size =
      write_outgoing_voice(buffer_, sequence, Session.identity.MemberId.load(std::memory_order_relaxed), block);
  // The port is read for every block, so a change of channel takes effect at once.
  session_.VoiceSocket.send_to(std::span(buffer_.data(), size),
                               session_.relay_port(Session.channel.ChannelPort.load(std::memory_order_relaxed)));
  measure_block_levels(std::span<const std::uint8_t>(block), MeterBars::Keep);
  turn_ring();
}

// Every third datagram the ring turns dark red with one green cell, which
// steps backwards around the circle.
void VoiceSender::turn_ring() {
  if (++ring_step_ < 3) return;
  for (LedCell& cell : Session.lights.NetworkRing) set_led(cell, LedColor::DarkRed);
  set_led(Session.lights.NetworkRing[static_cast<std::size_t>(ring_cell_)], LedColor::Green);
  ring_cell_ = ring_cell_ == 0 ? 15 : ring_cell_ - 1;
  ring_step_ = 0;
}

void send_voice_block(std::span<const std::uint8_t, kVoiceBlockSize> block) {
  static VoiceSender sender(Relay);
  sender.send_voice_block(block);
}

}  // namespace marvok::relay
