#pragma once

#include "platform/udp_socket.h"

namespace marvok::bench {

// Sets the socket's receive queue to `bytes` as an unprivileged program may.
void set_receive_queue(const platform::UdpSocket& socket, int bytes);
// The system's count of UDP datagrams it could not deliver (on Linux, those
// dropped at a full receive queue); -1 when it cannot be read.
long long receive_queue_drops();

}  // namespace marvok::bench
