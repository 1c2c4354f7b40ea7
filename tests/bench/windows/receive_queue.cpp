#include "receive_queue.h"

// clang-format off
#include <winsock2.h>
#include <iphlpapi.h>
// clang-format on

namespace marvok::bench {

void set_receive_queue(const platform::UdpSocket& socket, int bytes) {
  ::setsockopt(socket.descriptor(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

// Windows counts no full-queue drops apart: its receive errors include them.
long long receive_queue_drops() {
  MIB_UDPSTATS statistics{};
  if (::GetUdpStatistics(&statistics) != NO_ERROR) return -1;
  return static_cast<long long>(statistics.dwInErrors);
}

}  // namespace marvok::bench
