#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "endpoint_index.h"
#include "platform/udp_socket.h"

namespace marvok::relay_server {

// A client's voice socket and the control socket tied to it.
struct Pairing {
  platform::Endpoint voice;
  platform::Endpoint control;
};

// The pairings a previous run of the relay left in its pairing file. Clients
// send no hellos to a restarted relay, and two clients behind one address in
// one channel send nothing else that tells their control sockets apart; the
// file lets their first presence find the control socket again.
// The file holds one pairing a line, "VOICE CONTROL" as "a.b.c.d:port".
class PairingMemory {
 public:
  explicit PairingMemory(std::size_t capacity);

  // Reads the file's pairings, at most the capacity; lines that are not a
  // pairing are skipped. A missing file is an empty memory.
  void load(const std::string& path);
  // One more pairing, unless the memory is full or has one for its voice socket.
  void add(const Pairing& pairing);
  // The control socket remembered for this voice socket, given out once.
  std::optional<platform::Endpoint> take(const platform::Endpoint& voice);
  void clear();
  bool has_unclaimed() const { return unclaimed_ > 0; }
  // What has not been given out yet, in the file's order.
  std::vector<Pairing> remaining() const;

  // One line of the file; nothing when it is not a pairing.
  static std::optional<Pairing> parse_line(std::string_view line);
  // Replaces the file whole, so a crash never leaves half of it. False when
  // it cannot be written.
  static bool save(const std::string& path, std::span<const Pairing> pairings);

 private:
  std::size_t capacity_;
  std::vector<Pairing> pairings_;
  std::vector<bool> taken_;
  std::size_t unclaimed_ = 0;
  EndpointIndex by_voice_;
};

}  // namespace marvok::relay_server
