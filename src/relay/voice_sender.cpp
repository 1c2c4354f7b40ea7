#include "relay/voice_sender.h"

#include "audio/level_meter.h"

namespace marvok::relay {

void VoiceSender::send_voice_block(std::span<const std::uint8_t, kVoiceBlockSize> block) {
  const std::uint8_t sequence = sequence_++;
  const std::size_t size =
      write_outgoing_voice(buffer_, sequence, state_.identity.MemberId.load(std::memory_order_relaxed), block);
  // The port is read for every block, so a change of channel takes effect at once.
  session_.VoiceSocket.send_to(std::span(buffer_.data(), size),
                               session_.relay_port(state_.channel.ChannelPort.load(std::memory_order_relaxed)));
  measure_block_levels(std::span<const std::uint8_t>(block), MeterBars::Keep, meters_);
  turn_ring();
}

// Every third datagram the ring turns dark red with one green cell, which
// steps backwards around the circle.
void VoiceSender::turn_ring() {
  if (++ring_step_ < 3) return;
  for (LedCell& cell : state_.lights.NetworkRing) set_led(cell, LedColor::DarkRed);
  set_led(state_.lights.NetworkRing[static_cast<std::size_t>(ring_cell_)], LedColor::Green);
  ring_cell_ = ring_cell_ == 0 ? 15 : ring_cell_ - 1;
  ring_step_ = 0;
}

}  // namespace marvok::relay
