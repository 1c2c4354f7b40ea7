#include "accessory/accessory_monitor.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <utility>

#include "accessory/adapter_table.h"
#include "accessory/probe_echo.h"

namespace marvok::accessory {

namespace {

constexpr std::size_t kReadSize = 32;
constexpr auto kPollPause = std::chrono::milliseconds(200);
// The pause between searches: 2 seconds, in steps short enough to notice a stop.
constexpr int kPauseSteps = 20;
constexpr auto kPauseStep = std::chrono::milliseconds(100);

}  // namespace

std::optional<platform::SerialPort> open_accessory_port(const std::string& port_name) {
  return platform::SerialPort::open(platform::serial_device_path(port_name), kAccessoryReadTimeouts);
}

AccessoryMonitor::AccessoryMonitor(SessionState& state, ShowState show_accessory_state, SerialAccess serial)
    : state_(state), show_accessory_state_(std::move(show_accessory_state)), serial_(std::move(serial)) {}

void AccessoryMonitor::start() {
  if (thread_.joinable()) return;
  // Set before the thread runs, so that a stop right after the start is not
  // undone by the thread setting it.
  state_.run.MonitorRunning.store(true, std::memory_order_relaxed);
  thread_ = std::thread([this] { run(); });
}

void AccessoryMonitor::stop() {
  state_.run.MonitorRunning.store(false, std::memory_order_relaxed);
  if (thread_.joinable()) thread_.join();
}

bool AccessoryMonitor::running() const { return state_.run.MonitorRunning.load(std::memory_order_relaxed); }

void AccessoryMonitor::run() {
  while (running()) {
    if (const auto ports = serial_.list_ports()) {
      if (const auto port_name = find_accessory_port(*ports)) {
        // A port that cannot be opened (another program holds it) is searched
        // for again without the long pause, but after one poll period: retrying
        // at once would keep a processor core busy for as long as it is held.
        if (serve(*port_name) == ServeEnd::NotStarted) {
          std::this_thread::sleep_for(kPollPause);
          continue;
        }
      }
    }
    for (int step = 0; step < kPauseSteps && running(); ++step) std::this_thread::sleep_for(kPauseStep);
  }
}

AccessoryMonitor::ServeEnd AccessoryMonitor::serve(const std::string& port_name) {
  std::optional<platform::SerialPort> port = serial_.open_port(port_name);
  if (!port) return ServeEnd::NotStarted;
  show_accessory_state_(AccessoryState::Released);

  ServeEnd end = ServeEnd::Stopped;
  bool pressed = false;
  std::array<std::uint8_t, kReadSize> buffer{};
  while (running()) {
    if (!port->write(ProbePattern)) {
      end = ServeEnd::Lost;
      break;
    }
    const std::optional<TalkValue> reading = classify_echo(port->read(buffer), buffer);
    if (reading == TalkValue::Pressed) {
      show_accessory_state_(AccessoryState::Pressed);
      state_.talk.set_pedal(TalkValue::Pressed);
      state_.SecondsLeft.store(kCountdownSeconds, std::memory_order_relaxed);
    } else if (reading == TalkValue::Released) {
      show_accessory_state_(AccessoryState::Released);
      state_.talk.set_pedal(TalkValue::Released);
    }
    if (reading) pressed = reading == TalkValue::Pressed;
    std::this_thread::sleep_for(kPollPause);
  }
  port->close();
  // Nobody can release a button whose adapter is gone: without this the
  // client would go on transmitting until an accessory is served again.
  if (end == ServeEnd::Lost && pressed) state_.talk.set_pedal(TalkValue::Released);
  show_accessory_state_(AccessoryState::NoAccessory);
  return end;
}

}  // namespace marvok::accessory
