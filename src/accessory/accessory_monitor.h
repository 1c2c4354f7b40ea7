#pragma once

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "accessory/accessory_state.h"
#include "platform/serial_port.h"
#include "state/session_state.h"

namespace marvok::accessory {

// The accessory's line time-outs: a pressed button's echo ends a read 50 ms
// after its last byte; silence costs 50 + 10 ms for every byte asked for.
inline constexpr platform::SerialReadTimeouts kAccessoryReadTimeouts{50, 10, 50};

// Opens the named port with the accessory's time-outs.
std::optional<platform::SerialPort> open_accessory_port(const std::string& port_name);

// How the monitor finds and opens ports; tests hand in pseudo-terminals,
// which the system's port list never shows.
struct SerialAccess {
  std::function<std::optional<std::vector<platform::SerialPortEntry>>()> list_ports = [] {
    return platform::list_serial_ports();
  };
  std::function<std::optional<platform::SerialPort>(const std::string& port_name)> open_port = open_accessory_port;
};

// Finds the accessory among the serial ports, probes it every cycle and moves
// `PedalTalkState` with its button, on a thread of its own.
class AccessoryMonitor {
 public:
  using ShowState = std::function<void(AccessoryState)>;

  // `show_accessory_state` is called on the monitor's thread.
  // A press restarts the inactivity count in `seconds_left`.
  AccessoryMonitor(TalkState& talk, std::atomic<std::int32_t>& seconds_left, ShowState show_accessory_state,
                   SerialAccess serial = {});
  AccessoryMonitor(const AccessoryMonitor&) = delete;
  AccessoryMonitor& operator=(const AccessoryMonitor&) = delete;
  ~AccessoryMonitor() { stop(); }

  // Starts the thread.
  void start();
  // Asks the thread to stop and waits for it, however long its cycle takes.
  void stop();

 private:
  enum class ServeEnd { NotStarted, Lost, Stopped };

  void run(std::stop_token stop);
  ServeEnd serve(std::stop_token stop, const std::string& port_name);

  TalkState& talk_;
  std::atomic<std::int32_t>& seconds_left_;
  ShowState show_accessory_state_;
  SerialAccess serial_;
  std::jthread thread_;
};

}  // namespace marvok::accessory
