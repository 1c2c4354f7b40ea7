#pragma once

#include <cstdint>

namespace marvok::relay_server {

struct RelayCounters {
  std::uint64_t datagrams_in = 0;
  std::uint64_t datagrams_out = 0;
  // Not a well-formed datagram for the port it arrived on.
  std::uint64_t bad_datagrams = 0;
  // Well formed but from nobody the relay knows, e.g. speech before presence.
  std::uint64_t stray_datagrams = 0;
  std::uint64_t send_failures = 0;
  // New clients turned away because every slot was taken or their address
  // had as many admitted clients as it may.
  std::uint64_t refused_clients = 0;
  // From an address with admitted clients, faster than they ask.
  std::uint64_t unanswered_list_requests = 0;
  // Messages to another event loop that found its queue full.
  std::uint64_t lost_handoffs = 0;
};

}  // namespace marvok::relay_server
