#include "receive_batch.h"

namespace marvok::relay_server {

ReceiveBatch::ReceiveBatch() : area_(kSize * relay::kMaxDatagramSize), received_(kSize) {}

std::size_t ReceiveBatch::receive(const platform::UdpSocket& socket) {
  return socket.receive_many(area_, relay::kMaxDatagramSize, received_);
}

relay::Bytes ReceiveBatch::datagram(std::size_t slot) const {
  // A cut or empty datagram was read with size 0: it is dropped whole.
  return {area_.data() + slot * relay::kMaxDatagramSize, received_[slot].size};
}

platform::Endpoint ReceiveBatch::from(std::size_t slot) const { return received_[slot].from; }

}  // namespace marvok::relay_server
