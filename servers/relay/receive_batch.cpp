#include "receive_batch.h"

#include <arpa/inet.h>

namespace marvok::relay_server {

ReceiveBatch::ReceiveBatch() : buffers_(kSize), from_(kSize), parts_(kSize), messages_(kSize) {
  for (std::size_t i = 0; i < kSize; ++i) {
    parts_[i] = {buffers_[i].data(), buffers_[i].size()};
    messages_[i].msg_hdr.msg_name = &from_[i];
    messages_[i].msg_hdr.msg_iov = &parts_[i];
    messages_[i].msg_hdr.msg_iovlen = 1;
  }
}

std::size_t ReceiveBatch::receive(const platform::UdpSocket& socket) {
  // The system writes back the address length; the rest of each header stays.
  for (mmsghdr& message : messages_) message.msg_hdr.msg_namelen = sizeof(sockaddr_in);
  const int count = ::recvmmsg(socket.descriptor(), messages_.data(), kSize, MSG_DONTWAIT, nullptr);
  return count > 0 ? static_cast<std::size_t>(count) : 0;
}

relay::Bytes ReceiveBatch::datagram(std::size_t slot) const {
  const mmsghdr& message = messages_[slot];
  // A cut datagram is dropped whole, like one too large for any client.
  if ((message.msg_hdr.msg_flags & MSG_TRUNC) != 0 || message.msg_hdr.msg_namelen != sizeof(sockaddr_in)) return {};
  return {buffers_[slot].data(), message.msg_len};
}

platform::Endpoint ReceiveBatch::from(std::size_t slot) const {
  return {ntohl(from_[slot].sin_addr.s_addr), ntohs(from_[slot].sin_port)};
}

}  // namespace marvok::relay_server
