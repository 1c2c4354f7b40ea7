#include "relay/voice_sender.h"

#include "audio/level_meter.h"

namespace marvok::relay {

void VoiceSender::send_voice_block(std::span<const std::uint8_t, kVoiceBlockSize> block) {
  const std::uint8_t sequence = sequence_++;
  const std::size_t size =
      write_outgoing_voice(buffer_, sequence, identity_.MemberId.load(std::memory_order_relaxed), block);
  // The port is read for every block, so a change of channel takes effect at once.
  session_.VoiceSocket.send_to(std::span(buffer_.data(), size),
                               session_.relay_port(channel_.ChannelPort.load(std::memory_order_relaxed)));
  measure_block_levels(std::span<const std::uint8_t>(block), MeterBars::Keep, meters_);
  activity_.block_sent();
}

}  // namespace marvok::relay
