#include "platform/serial_port.h"

#include <windows.h>
// After windows.h, which they need.
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "platform/windows/native_handle.h"
#include "platform/windows/wide_text.h"

namespace marvok::platform {

namespace {

// The size the hardware identifiers are first read into, and the port's
// name's: longer identifiers are read again at their size, a longer name is
// refused by the system rather than cut.
constexpr std::size_t kHardwareIdBytes = 512;
constexpr std::size_t kPortNameBytes = 32;
// A port that takes nothing for a second is as good as gone; waiting longer
// would hold up the monitor's stop.
constexpr DWORD kWriteLimitMs = 1000;

// The first string of a registry text or multi-string, which need not end
// in a terminator within what was read.
std::string first_string(const wchar_t* text, std::size_t count) {
  const wchar_t* end = std::find(text, text + count, L'\0');
  return from_wide(std::wstring_view(text, static_cast<std::size_t>(end - text)));
}

std::string hardware_id_of(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  std::vector<wchar_t> text(kHardwareIdBytes / sizeof(wchar_t));
  // A second read at the size the first asked for; a third in case the list
  // grew in between.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto capacity = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD size = 0;
    if (SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_HARDWAREID, nullptr,
                                          reinterpret_cast<BYTE*>(text.data()), capacity, &size))
      return first_string(text.data(), std::min<std::size_t>(size / sizeof(wchar_t), text.size()));
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= capacity) return {};
    text.assign(size / sizeof(wchar_t) + 1, L'\0');
  }
  return {};
}

// "COM4", from the device's own registry key.
std::string port_name_of(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE || key == nullptr) return {};
  std::array<wchar_t, kPortNameBytes / sizeof(wchar_t)> text{};
  DWORD type = 0;
  DWORD size = sizeof text;
  const LONG status = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return {};
  return first_string(text.data(), std::min<std::size_t>(size / sizeof(wchar_t), text.size()));
}

}  // namespace

std::optional<std::vector<SerialPortEntry>> list_serial_ports() {
  // Present devices of the ports class, in the system's order: the first
  // adapter that matches is the accessory.
  HDEVINFO devices = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<SerialPortEntry> ports;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index)
    ports.push_back({hardware_id_of(devices, device), port_name_of(devices, device)});
  SetupDiDestroyDeviceInfoList(devices);
  return ports;
}

std::string serial_device_path(const std::string& port_name) { return "\\\\.\\" + port_name; }

std::optional<SerialPort> SerialPort::open(const std::string& device_path, SerialReadTimeouts timeouts) {
  const std::wstring wide_path = to_wide(device_path);
  // Not shared: another program holding the port keeps it, and nobody opens
  // it behind our back.
  HANDLE handle = CreateFileW(wide_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  SerialPort port(reinterpret_cast<std::intptr_t>(handle), timeouts);

  // Only the line's shape changes; flow control and the rest stay as the
  // driver has them. A file that is no port has no line and fails here.
  DCB line{};
  line.DCBlength = sizeof line;
  if (!GetCommState(handle, &line)) return std::nullopt;
  line.BaudRate = CBR_9600;
  line.ByteSize = 8;
  line.Parity = NOPARITY;
  line.StopBits = ONESTOPBIT;
  if (!SetCommState(handle, &line)) return std::nullopt;

  COMMTIMEOUTS limits{};
  limits.ReadIntervalTimeout = static_cast<DWORD>(std::max(timeouts.interval_ms, 0));
  limits.ReadTotalTimeoutMultiplier = static_cast<DWORD>(std::max(timeouts.total_multiplier_ms, 0));
  limits.ReadTotalTimeoutConstant = static_cast<DWORD>(std::max(timeouts.total_constant_ms, 0));
  limits.WriteTotalTimeoutMultiplier = 0;
  limits.WriteTotalTimeoutConstant = kWriteLimitMs;
  // All zero would make a read wait for the whole buffer: no limits at all
  // means return what has come at once.
  if (limits.ReadIntervalTimeout == 0 && limits.ReadTotalTimeoutMultiplier == 0 && limits.ReadTotalTimeoutConstant == 0)
    limits.ReadIntervalTimeout = MAXDWORD;
  if (!SetCommTimeouts(handle, &limits)) return std::nullopt;
  return port;
}

bool SerialPort::write(std::span<const std::uint8_t> bytes) const {
  if (handle_ == kNoHandle) return false;
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    DWORD written = 0;
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - sent, MAXDWORD));
    if (!WriteFile(native(handle_), bytes.data() + sent, count, &written, nullptr)) return false;
    // The write limit passed with nothing taken.
    if (written == 0) return false;
    sent += written;
  }
  return true;
}

std::optional<std::size_t> SerialPort::read(std::span<std::uint8_t> buffer) const {
  if (handle_ == kNoHandle) return std::nullopt;
  DWORD received = 0;
  const DWORD count = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), MAXDWORD));
  // The driver applies the time-outs set at open.
  if (!ReadFile(native(handle_), buffer.data(), count, &received, nullptr)) return std::nullopt;
  return received;
}

void SerialPort::close() {
  if (handle_ == kNoHandle) return;
  CloseHandle(native(std::exchange(handle_, kNoHandle)));
}

}  // namespace marvok::platform
