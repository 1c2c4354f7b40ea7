#include "forward_batch.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>

namespace marvok::relay_server {

void ForwardBatch::add(std::span<const std::uint8_t, relay::kVoiceHeaderSize> head, const platform::Endpoint& to) {
  std::copy(head.begin(), head.end(), heads_[count_].begin());
  to_[count_] = sockaddr_in{};
  to_[count_].sin_family = AF_INET;
  to_[count_].sin_port = htons(to.port);
  to_[count_].sin_addr.s_addr = htonl(to.address);
  ++count_;
}

platform::Endpoint ForwardBatch::to(std::size_t i) const {
  return {ntohl(to_[i].sin_addr.s_addr), ntohs(to_[i].sin_port)};
}

ForwardBatch::Result ForwardBatch::send(const platform::UdpSocket& socket, std::span<const std::uint8_t> block) {
  Result result;
  for (std::size_t i = 0; i < count_; ++i) {
    parts_[i][0] = {heads_[i].data(), heads_[i].size()};
    // The system only reads the block; iovec has no const member.
    parts_[i][1] = {const_cast<std::uint8_t*>(block.data()), block.size()};
    messages_[i] = mmsghdr{};
    messages_[i].msg_hdr.msg_name = &to_[i];
    messages_[i].msg_hdr.msg_namelen = sizeof(sockaddr_in);
    messages_[i].msg_hdr.msg_iov = parts_[i].data();
    messages_[i].msg_hdr.msg_iovlen = parts_[i].size();
  }
  std::size_t at = 0;
  while (at < count_) {
    const int sent = ::sendmmsg(socket.descriptor(), messages_.data() + at, static_cast<unsigned>(count_ - at), 0);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) {
      // The first datagram failed, as a single send would; the rest still go.
      ++result.failed;
      ++at;
      continue;
    }
    result.sent += static_cast<std::size_t>(sent);
    at += static_cast<std::size_t>(sent);
  }
  count_ = 0;
  return result;
}

}  // namespace marvok::relay_server
