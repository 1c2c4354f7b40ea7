#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <utility>

namespace marvok::platform {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// From a port's device up to the USB device that carries the vendor and
// product numbers: interface, then device, with a margin for hubs' layouts.
constexpr int kUsbSearchDepth = 6;
constexpr std::uint32_t kLargestUsbNumber = 0xFFFF;
constexpr auto kWriteLimit = std::chrono::seconds(1);

// A USB number as sysfs writes it: up to four hex digits and a line end.
std::optional<std::uint32_t> read_usb_number(const fs::path& file) {
  std::ifstream stream(file);
  std::string text;
  if (!stream || !std::getline(stream, text)) return std::nullopt;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  if (text.empty() || text.size() > 4) return std::nullopt;
  std::uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, 16);
  if (error != std::errc() || stop != end || value > kLargestUsbNumber) return std::nullopt;
  return value;
}

std::string usb_hardware_id(std::uint32_t vendor, std::uint32_t product) {
  char text[32] = {};
  std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X", vendor, product);
  return text;
}

// The identifier of the adapter behind a port's device folder: its USB
// numbers when it hangs on USB, otherwise its driver's name.
std::string hardware_id_of(const fs::path& device) {
  fs::path folder = device;
  for (int level = 0; level < kUsbSearchDepth && folder.has_relative_path(); ++level) {
    std::error_code error;
    if (fs::exists(folder / "idVendor", error) && fs::exists(folder / "idProduct", error)) {
      const auto vendor = read_usb_number(folder / "idVendor");
      const auto product = read_usb_number(folder / "idProduct");
      if (vendor && product) return usb_hardware_id(*vendor, *product);
      break;
    }
    folder = folder.parent_path();
  }
  std::error_code error;
  const fs::path driver = fs::canonical(device / "driver", error);
  return error ? std::string() : driver.filename().string();
}

int remaining_ms(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

constexpr short kLineGone = POLLERR | POLLHUP | POLLNVAL;

}  // namespace

std::optional<std::vector<SerialPortEntry>> list_serial_ports() { return list_serial_ports("/sys/class/tty"); }

std::optional<std::vector<SerialPortEntry>> list_serial_ports(const fs::path& class_folder) {
  std::error_code error;
  fs::directory_iterator entry(class_folder, error);
  if (error) return std::nullopt;
  std::vector<SerialPortEntry> ports;
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    // Consoles and pseudo-terminals have no device behind them: they are not ports.
    std::error_code no_device;
    const fs::path device = fs::canonical(entry->path() / "device", no_device);
    if (no_device) continue;
    ports.push_back({hardware_id_of(device), entry->path().filename().string()});
  }
  if (error) return std::nullopt;
  std::sort(ports.begin(), ports.end(),
            [](const SerialPortEntry& a, const SerialPortEntry& b) { return a.port_name < b.port_name; });
  return ports;
}

std::string serial_device_path(const std::string& port_name) { return "/dev/" + port_name; }

std::optional<SerialPort> SerialPort::open(const std::string& device_path, SerialReadTimeouts timeouts) {
  // Non-blocking so that a port without carrier opens at once; reads and
  // writes wait with poll instead.
  const int fd = ::open(device_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  SerialPort port(fd, timeouts);
  // Another program holding the port keeps it: its lock stops us here, and
  // its exclusive mode already stopped the open above.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return std::nullopt;

  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return std::nullopt;
  // Raw bytes both ways: no echo, no line editing, no translation of line
  // ends or flow-control characters, which would answer or eat the probe.
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  settings.c_cflag |= CS8 | CREAD | CLOCAL;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  if (::cfsetispeed(&settings, B9600) != 0 || ::cfsetospeed(&settings, B9600) != 0) return std::nullopt;
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) return std::nullopt;
  // Further opens of the device fail while we hold it; a port that refuses
  // the mode still works.
  (void)::ioctl(fd, TIOCEXCL);
  return port;
}

bool SerialPort::write(std::span<const std::uint8_t> bytes) const {
  if (handle_ == kNoHandle) return false;
  const int fd = static_cast<int>(handle_);
  // A port that takes nothing for a second is as good as gone; waiting longer
  // would hold up the monitor's stop.
  const Clock::time_point deadline = Clock::now() + kWriteLimit;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + sent, bytes.size() - sent);
    if (written > 0) {
      sent += static_cast<std::size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN) return false;
    const int wait_ms = remaining_ms(deadline);
    if (wait_ms == 0) return false;
    pollfd watch{fd, POLLOUT, 0};
    const int ready = ::poll(&watch, 1, wait_ms);
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0 && (watch.revents & kLineGone)) return false;
  }
  return true;
}

std::optional<std::size_t> SerialPort::read(std::span<std::uint8_t> buffer) const {
  if (handle_ == kNoHandle) return std::nullopt;
  const int fd = static_cast<int>(handle_);
  const auto total = std::chrono::milliseconds(timeouts_.total_constant_ms) +
                     std::chrono::milliseconds(timeouts_.total_multiplier_ms) * static_cast<int>(buffer.size());
  const Clock::time_point deadline = Clock::now() + total;
  const auto interval = std::chrono::milliseconds(timeouts_.interval_ms);
  std::size_t received = 0;
  while (received < buffer.size()) {
    // Polled at least once, so that a hang-up shows even without time to wait.
    int wait_ms = remaining_ms(deadline);
    // Once bytes have come, the read ends when the line stays quiet for the interval.
    if (received > 0 && interval.count() > 0) wait_ms = std::min(wait_ms, static_cast<int>(interval.count()));
    pollfd watch{fd, POLLIN, 0};
    const int ready = ::poll(&watch, 1, wait_ms);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (ready == 0) {
      if (received > 0 || remaining_ms(deadline) == 0) break;
      continue;
    }
    // A hung-up line reads as end of file: that is a failure, not silence.
    if (watch.revents & kLineGone) return std::nullopt;
    const ssize_t count = ::read(fd, buffer.data() + received, buffer.size() - received);
    if (count > 0) {
      received += static_cast<std::size_t>(count);
    } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
      return std::nullopt;
    }
  }
  return received;
}

void SerialPort::close() {
  if (handle_ == kNoHandle) return;
  const int fd = static_cast<int>(std::exchange(handle_, kNoHandle));
  // The exclusive mode can outlive this descriptor on a terminal that stays open.
  (void)::ioctl(fd, TIOCNXCL);
  ::close(fd);
}

}  // namespace marvok::platform
