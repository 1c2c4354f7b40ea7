#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "command_reader.h"
#include "operator_socket.h"
#include "relay_config.h"
#include "relay_counters.h"
#include "relay_log.h"
#include "relay_shard.h"
#include "relay_sockets.h"
#include "shared_state.h"

namespace marvok::relay_server {

// The relay: the channels spread over event loops, one thread each, and on
// the calling thread what concerns them all: the operator's commands from
// standard input and the control socket, the pairing file and the stop.
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

  // The event loops' counters added up. Read them only while run() is not running.
  RelayCounters counters() const;

 private:
  bool watch(int fd, std::uint64_t slot);
  void read_commands();
  // What a command line does, and the answer for the operator.
  std::string run_command(std::string_view line);
  void save_pairings_if_changed(Clock::time_point now);
  void save_pairings();
  // Reports this host's admissions to the shared state and hands the other
  // hosts' to the loops, when they changed.
  void share_admissions(Clock::time_point now);
  template <typename Task>
  void on_every_shard(Task task);

  RelayConfig config_;
  RelayLog log_;
  CommandReader commands_;
  std::optional<OperatorSocket> operator_socket_;
  std::optional<RelaySockets> sockets_;
  std::unique_ptr<SharedState> shared_;
  std::shared_ptr<const AddressTable> others_given_;
  Clock::time_point next_share_{};
  std::vector<std::unique_ptr<RelayShard>> shards_;
  std::vector<std::thread> threads_;
  std::array<int, 2> stop_pipe_{-1, -1};
  int watcher_ = -1;
  bool opened_ = false;
  bool pairing_save_failed_ = false;
  Clock::time_point next_pairing_save_{};
};

}  // namespace marvok::relay_server
