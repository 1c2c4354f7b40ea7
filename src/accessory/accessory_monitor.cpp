#include "accessory/accessory_monitor.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <utility>

#include "accessory/adapter_table.h"
#include "accessory/probe_echo.h"
#include "platform/worker_threads.h"

namespace marvok::accessory {

namespace {

constexpr std::size_t kReadSize = 32;
constexpr auto kPollPause = std::chrono::milliseconds(200);
// The pause between searches; a stop ends it at once.
constexpr auto kPause = std::chrono::seconds(2);

}  // namespace

std::optional<platform::SerialPort> open_accessory_port(const std::string& port_name) {
  return platform::SerialPort::open(platform::serial_device_path(port_name), kAccessoryReadTimeouts);
}

AccessoryMonitor::AccessoryMonitor(TalkState& talk, std::atomic<std::int32_t>& seconds_left,
                                   ShowState show_accessory_state, SerialAccess serial)
    : talk_(talk),
      seconds_left_(seconds_left),
      show_accessory_state_(std::move(show_accessory_state)),
      serial_(std::move(serial)) {}

void AccessoryMonitor::start() {
  if (thread_.joinable()) return;
  thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

void AccessoryMonitor::stop() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

void AccessoryMonitor::run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    if (const auto ports = serial_.list_ports()) {
      if (const auto port_name = find_accessory_port(*ports)) {
        // A port that cannot be opened (another program holds it) is searched
        // for again without the long pause, but after one poll period: retrying
        // at once would keep a processor core busy for as long as it is held.
        if (serve(stop, *port_name) == ServeEnd::NotStarted) {
          std::this_thread::sleep_for(kPollPause);
          continue;
        }
      }
    }
    sleep_unless_stopped(stop, kPause);
  }
}

AccessoryMonitor::ServeEnd AccessoryMonitor::serve(std::stop_token stop, const std::string& port_name) {
  std::optional<platform::SerialPort> port = serial_.open_port(port_name);
  if (!port) return ServeEnd::NotStarted;
  show_accessory_state_(AccessoryState::Released);

  ServeEnd end = ServeEnd::Stopped;
  bool pressed = false;
  std::array<std::uint8_t, kReadSize> buffer{};
  while (!stop.stop_requested()) {
    if (!port->write(ProbePattern)) {
      end = ServeEnd::Lost;
      break;
    }
    const std::optional<TalkValue> reading = classify_echo(port->read(buffer), buffer);
    if (reading == TalkValue::Pressed) {
      show_accessory_state_(AccessoryState::Pressed);
      talk_.set_pedal(TalkValue::Pressed);
      seconds_left_.store(kCountdownSeconds, std::memory_order_relaxed);
    } else if (reading == TalkValue::Released) {
      show_accessory_state_(AccessoryState::Released);
      talk_.set_pedal(TalkValue::Released);
    }
    if (reading) pressed = reading == TalkValue::Pressed;
    std::this_thread::sleep_for(kPollPause);
  }
  port->close();
  // Nobody can release a button whose adapter is gone: without this the
  // client would go on transmitting until an accessory is served again.
  if (end == ServeEnd::Lost && pressed) talk_.set_pedal(TalkValue::Released);
  show_accessory_state_(AccessoryState::NoAccessory);
  return end;
}

}  // namespace marvok::accessory
