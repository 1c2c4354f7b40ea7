#pragma once

#include <bitset>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "channel_list.h"
#include "client_version.h"
#include "relay/datagrams.h"

namespace marvok::relay_server {

struct RelayConfig {
  std::uint32_t address = 0;  // IPv4, host byte order
  // The channels whose ports this relay binds; the others may be another
  // host's, behind the same public address.
  ChannelSet channels = every_channel();
  // Clients reporting an older version get notice 220 once.
  std::optional<ClientVersion> min_version;
  // Channels whose speech is forwarded as Opus instead of raw PCM.
  std::bitset<relay::kChannelCount> opus_channels;
  // Long enough to ride out a Wi-Fi drop of 300-500 ms; short, since a
  // forged source address draws speech until then.
  std::chrono::milliseconds client_timeout{1000};
  // Admitted clients behind one IPv4 address: families, cafés and carrier
  // NAT share one, yet no address draws the speech of a whole relay.
  std::size_t max_clients_per_address = 32;
  // Client slots: room for a few thousand members (at most 65,535); a full
  // relay refuses newcomers.
  std::size_t capacity = 4096;
  // Event loops, each serving some of the channels on a thread of its own;
  // at most one per channel served.
  int threads = 1;
  // Where the control socket of each client is kept for the next run; empty
  // keeps nothing.
  std::string pairing_file;
  // The PostgreSQL database (postgresql://…) the relay hosts behind one
  // address share admissions and pairings in; empty when this host is alone.
  std::string shared_state;
  // Where operator commands come through a Unix socket; empty for none.
  std::string control_socket;
  // Operator commands, one per line; -1 for none. The relay never closes it.
  int command_fd = -1;
  std::FILE* command_output = stdout;
  std::FILE* log = stderr;
};

}  // namespace marvok::relay_server
