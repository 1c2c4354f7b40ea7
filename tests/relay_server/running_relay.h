#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

#include "relay_config.h"
#include "relay_counters.h"
#include "relay_server.h"

namespace marvok::relay_server::testing {

inline constexpr std::uint32_t kLoopback = 0x7F000001;

// A relay configured for tests: loopback, a long timeout, no commands.
RelayConfig test_config();

// The relay server on a thread of the test process. The ports are bound when
// the constructor returns, so clients may send at once.
class RunningRelay {
 public:
  explicit RunningRelay(RelayConfig config = test_config());
  RunningRelay(const RunningRelay&) = delete;
  RunningRelay& operator=(const RunningRelay&) = delete;
  ~RunningRelay();

  // An operator command, as typed on the relay's standard input.
  void command(std::string_view line);
  // Ends the server and waits for its thread; counters() may be read after.
  void stop();
  RelayCounters counters() const { return server_->counters(); }
  // What the operator commands printed; call after stop().
  std::string command_output() const;

 private:
  int command_pipe_[2] = {-1, -1};
  std::FILE* command_output_ = nullptr;
  std::unique_ptr<RelayServer> server_;
  std::thread thread_;
};

}  // namespace marvok::relay_server::testing
