#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace marvok::platform {

// One serial port of the system: the hardware identifier its adapter is
// known by and the name the port is opened by.
struct SerialPortEntry {
  // "USB\VID_0403&PID_6015" for a USB adapter (vendor and product as four
  // upper-case hex digits, as the system writes them, possibly followed by
  // more); the driver's name, or nothing, for other ports.
  std::string hardware_id;
  // The name the port is known by: "ttyUSB0" (under /dev), "COM4"; empty
  // when it has none.
  std::string port_name;
};

// The system's serial ports, in its own order (by name where it has none).
// Nothing when the system will not list them.
std::optional<std::vector<SerialPortEntry>> list_serial_ports();

// Linux: the ports the kernel lists under a sysfs class folder such as
// "/sys/class/tty", sorted by name; nothing when the folder cannot be read.
std::optional<std::vector<SerialPortEntry>> list_serial_ports(const std::filesystem::path& class_folder);

// The device path a port name stands for: "/dev/ttyUSB0", "\\.\COM4".
std::string serial_device_path(const std::string& port_name);

// How long a read may wait: at most `interval_ms` between two bytes, and
// `total_constant_ms` + `total_multiplier_ms` for every byte asked for in all.
struct SerialReadTimeouts {
  int interval_ms = 0;
  int total_multiplier_ms = 0;
  int total_constant_ms = 0;
};

// A serial port opened for this process alone at 9600 bit/s, 8 data bits, no
// parity, one stop bit, in raw mode; the driver's other settings are kept.
class SerialPort {
 public:
  SerialPort() = default;
  SerialPort(SerialPort&& other) noexcept
      : handle_(std::exchange(other.handle_, kNoHandle)), timeouts_(other.timeouts_) {}
  SerialPort& operator=(SerialPort&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = std::exchange(other.handle_, kNoHandle);
      timeouts_ = other.timeouts_;
    }
    return *this;
  }
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  ~SerialPort() { close(); }

  // Nothing when the device cannot be opened, another program holds it, or
  // it takes no line settings.
  static std::optional<SerialPort> open(const std::string& device_path, SerialReadTimeouts timeouts);

  bool valid() const { return handle_ != kNoHandle; }

  // Writes every byte; false when the port is gone or takes nothing for a second.
  bool write(std::span<const std::uint8_t> bytes) const;
  // Reads up to `buffer.size()` bytes within the read time-outs: the count
  // read (0 when nothing came), or nothing when the read failed or the line
  // hung up.
  std::optional<std::size_t> read(std::span<std::uint8_t> buffer) const;

  void close();

 private:
  // A file descriptor or a Windows handle; both systems' "none" is -1.
  using NativeHandle = std::intptr_t;
  static constexpr NativeHandle kNoHandle = -1;

  SerialPort(NativeHandle handle, SerialReadTimeouts timeouts) : handle_(handle), timeouts_(timeouts) {}
  NativeHandle handle_ = kNoHandle;
  SerialReadTimeouts timeouts_;
};

}  // namespace marvok::platform
