#pragma once

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

namespace marvok::web_server {

// Connections open from each source, an IPv4 address or an IPv6 /64 (what
// one subscriber holds), so that one source holding connections open cannot
// take every descriptor the service has. Loopback is left free unless asked:
// behind a reverse proxy every client comes from there.
//
// libmicrohttpd's own per-address limit is not used: it counts each exact
// address, so a /64 would get the cap once per host, and it spares no
// address, loopback included.
//
// Only connections the server has taken in are counted (`opened`, `closed`);
// the accept check merely reads the counts. A count taken when a connection
// is admitted would leak whenever the server drops it afterwards, and lock
// that source out for good. Checks racing on several threads may let a
// source past the cap by one connection each.
class ConnectionsPerAddress {
 public:
  ConnectionsPerAddress(int most, bool limit_loopback) : most_(most), limit_loopback_(limit_loopback) {}

  // Whether a new connection from `address` may be taken in now.
  bool admits(const sockaddr* address) const;
  void opened(const sockaddr* address);
  // For a connection `opened` counted; one it did not count is ignored.
  void closed(const sockaddr* address);

 private:
  // An IPv4 address in its IPv6 mapped form, an IPv6 one cut to its /64.
  using Source = std::array<std::uint8_t, 16>;

  // Nothing for a source that is not counted.
  std::optional<Source> counted_source(const sockaddr* address) const;

  int most_;
  bool limit_loopback_;
  mutable std::mutex mutex_;
  std::map<Source, int> open_;  // only sources with connections open
};

}  // namespace marvok::web_server
