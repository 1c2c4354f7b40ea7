#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "command_reader.h"
#include "receive_batch.h"
#include "relay.h"
#include "relay_config.h"
#include "relay_counters.h"
#include "relay_log.h"
#include "relay_sockets.h"

namespace marvok::relay_server {

// The relay's event loop: one thread waits with epoll on the 22 ports, the
// operator's commands and a stop pipe, and hands each datagram to Relay.
class RelayServer {
 public:
  explicit RelayServer(RelayConfig config);
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;
  ~RelayServer();

  // Binds every port. False, with the reason in `error`, when one is taken or
  // the address is not this machine's.
  bool open(std::string& error);
  // Serves until stop(); returns at once when open() has not succeeded.
  void run();
  // Ends run() soon. Safe from a signal handler and from any thread.
  void stop();

  // Read these only while run() is not running.
  const RelayCounters& counters() const;

 private:
  // Reads what waits on one port, up to a batch.
  void serve_port(std::uint32_t events, const platform::UdpSocket& socket, int channel, bool voice_port,
                  Clock::time_point now);
  // Adds a descriptor to the watcher; false when it cannot be watched.
  bool watch(int fd, std::size_t slot);
  void read_commands();
  void run_command(std::string_view line);

  RelayConfig config_;
  RelayLog log_;
  CommandReader commands_;
  std::optional<RelaySockets> sockets_;
  std::optional<Relay> relay_;
  std::array<int, 2> stop_pipe_{-1, -1};
  int watcher_ = -1;
  ReceiveBatch in_;
};

}  // namespace marvok::relay_server
