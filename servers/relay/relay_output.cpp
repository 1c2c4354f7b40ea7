#include "relay_output.h"

#include <algorithm>

#include "relay/datagrams.h"

namespace marvok::relay_server {

ForwardBatch::Result RelayOutput::send_voice_batch(int channel, ForwardBatch& batch,
                                                   std::span<const std::uint8_t> block) const {
  ForwardBatch::Result result;
  relay::Buffer datagram{};
  const std::size_t size = std::min(datagram.size(), relay::kVoiceHeaderSize + block.size());
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const auto head = batch.head(i);
    std::copy(head.begin(), head.end(), datagram.begin());
    std::copy_n(block.begin(), size - head.size(), datagram.begin() + static_cast<std::ptrdiff_t>(head.size()));
    if (send_from(RelayPort::Voice, channel, std::span(datagram.data(), size), batch.to(i))) {
      ++result.sent;
    } else {
      ++result.failed;
    }
  }
  batch.clear();
  return result;
}

}  // namespace marvok::relay_server
