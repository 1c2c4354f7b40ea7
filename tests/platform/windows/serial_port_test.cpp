// The accessory's COM port under Windows: a pseudo-terminal mapped as a COM
// port, whose other end plays the accessory (see with_accessory_port.sh).
#include "platform/serial_port.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "accessory/accessory_monitor.h"
#include "accessory/adapter_table.h"
#include "accessory/probe_echo.h"

namespace marvok::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The accessory's own time-outs: a released button costs 50 + 10 x 32 ms.
constexpr SerialReadTimeouts kAccessoryTimeouts = accessory::kAccessoryReadTimeouts;

// An adapter entered in the system's device tree as its installer does: a
// device of the ports class, its hardware identifiers, its port's name.
class RegisteredAdapter {
 public:
  RegisteredAdapter(const std::wstring& hardware_ids, const std::wstring& port_name) {
    set_ = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr);
    if (set_ == INVALID_HANDLE_VALUE) return;
    device_.cbSize = sizeof device_;
    if (!SetupDiCreateDeviceInfoW(set_, L"MARVOKTESTPORT", &GUID_DEVCLASS_PORTS, nullptr, nullptr, DICD_GENERATE_ID,
                                  &device_))
      return;
    created_ = true;
    const auto* ids = reinterpret_cast<const BYTE*>(hardware_ids.c_str());
    if (!SetupDiSetDeviceRegistryPropertyW(set_, &device_, SPDRP_HARDWAREID, ids,
                                           static_cast<DWORD>((hardware_ids.size() + 1) * sizeof(wchar_t))))
      return;
    if (!SetupDiRegisterDeviceInfo(set_, &device_, 0, nullptr, nullptr, nullptr)) return;
    HKEY key = SetupDiCreateDevRegKeyW(set_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    if (key == INVALID_HANDLE_VALUE) return;
    const auto* name = reinterpret_cast<const BYTE*>(port_name.c_str());
    registered_ = RegSetValueExW(key, L"PortName", 0, REG_SZ, name,
                                 static_cast<DWORD>((port_name.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  RegisteredAdapter(const RegisteredAdapter&) = delete;
  RegisteredAdapter& operator=(const RegisteredAdapter&) = delete;
  ~RegisteredAdapter() {
    if (created_) SetupDiRemoveDevice(set_, &device_);
    if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
  }
  bool registered() const { return registered_; }

 private:
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA device_{};
  bool created_ = false;
  bool registered_ = false;
};

bool under_wine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

class AccessoryPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("MARVOK_ACCESSORY_PORT");
    const char* folder = std::getenv("MARVOK_ACCESSORY_FOLDER");
    if (!port || !folder) GTEST_SKIP() << "run through with_accessory_port.sh";
    port_ = port;
    folder_ = folder;
    press(false);
  }

  void press(bool held) {
    if (held) {
      std::ofstream(folder_ / "pressed") << "held\n";
    } else {
      fs::remove(folder_ / "pressed");
    }
  }

  std::string line_settings() {
    std::ifstream file(folder_ / "line");
    std::string text;
    std::getline(file, text);
    return text;
  }

  std::optional<SerialPort> open_port() { return SerialPort::open(serial_device_path(port_), kAccessoryTimeouts); }

  std::string port_;
  fs::path folder_;
};

TEST_F(AccessoryPortTest, TheListedAdaptersPortIsOpenedForUsAloneAtNineThousandSixHundredEightNoneOne) {
  // The system's list is handed in, as the monitor's tests do, naming the mapped port.
  const std::vector<SerialPortEntry> ports = {{"ACPI\\PNP0501", "COM1"}, {"USB\\VID_0403&PID_6015&REV_1000", port_}};
  const std::optional<std::string> found = accessory::find_accessory_port(ports);
  ASSERT_EQ(found, port_);
  EXPECT_EQ(serial_device_path(*found), "\\\\.\\" + port_);

  std::optional<SerialPort> port = open_port();
  ASSERT_TRUE(port);
  EXPECT_TRUE(port->valid());
  // Wine leaves device files shared whatever the sharing mode asked; a
  // Windows port driver refuses a second open.
  if (under_wine()) {
    std::printf("second open not checked: Wine does not keep a COM port to its opener\n");
  } else {
    EXPECT_FALSE(open_port()) << "a port already open is not shared";
  }
  ASSERT_TRUE(port->write(accessory::ProbePattern));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(line_settings(), "9600 8 none 1");

  port->close();
  EXPECT_FALSE(port->valid());
  EXPECT_FALSE(port->write(accessory::ProbePattern));
  std::array<std::uint8_t, 32> buffer{};
  EXPECT_FALSE(port->read(buffer));
  EXPECT_TRUE(open_port()) << "closing frees the port";
}

TEST_F(AccessoryPortTest, TheEchoShowsTheButtonWithinTheReadTimeouts) {
  std::optional<SerialPort> port = open_port();
  ASSERT_TRUE(port);
  const struct {
    bool held;
    std::optional<TalkValue> reading;
    std::chrono::milliseconds at_least, at_most;
  } cases[] = {
      // Nothing comes back: the whole wait, 50 + 10 x 32 ms.
      {false, TalkValue::Released, 340ms, 900ms},
      // The echo comes at once; the read ends 50 ms after its last byte.
      {true, TalkValue::Pressed, 40ms, 300ms},
      {false, TalkValue::Released, 340ms, 900ms},
  };
  for (const auto& c : cases) {
    press(c.held);
    std::array<std::uint8_t, 32> buffer{};
    ASSERT_TRUE(port->write(accessory::ProbePattern));
    const Clock::time_point start = Clock::now();
    const std::optional<std::size_t> count = port->read(buffer);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    std::printf("button %s: %zu bytes in %lld ms\n", c.held ? "held" : "released", count.value_or(0),
                static_cast<long long>(took.count()));
    ASSERT_TRUE(count);
    EXPECT_EQ(*count, c.held ? accessory::ProbePattern.size() : 0u);
    EXPECT_EQ(accessory::classify_echo(count, buffer), c.reading);
    EXPECT_GE(took, c.at_least);
    EXPECT_LE(took, c.at_most);
  }
}

TEST(SerialPortTest, WhatIsNoPortDoesNotOpen) {
  const fs::path file = fs::temp_directory_path() / ("marvok-not-a-port-" + std::to_string(GetCurrentProcessId()));
  std::ofstream(file) << "text\n";
  const struct {
    const char* name;
    std::string path;
  } cases[] = {
      {"an unmapped port", serial_device_path("COM8")},
      {"a file", file.string()},
      {"a folder", fs::temp_directory_path().string()},
      {"nothing", ""},
  };
  for (const auto& c : cases) EXPECT_FALSE(SerialPort::open(c.path, kAccessoryTimeouts)) << c.name;
  fs::remove(file);
}

// Identifiers as the system gives a USB adapter, the first of which is read:
// two, or a list longer than a first read takes.
std::wstring long_hardware_ids() {
  std::wstring ids(L"USB\\VID_10C4&PID_EA60&REV_0100\0", 31);
  for (int i = 0; i < 40; ++i) ids += L"USB\\VID_10C4&PID_EA60&MI_" + std::to_wstring(i) + std::wstring(1, L'\0');
  return ids;
}

TEST_F(AccessoryPortTest, TheSystemsPortListLeadsToTheAccessory) {
  const auto before = list_serial_ports();
  ASSERT_TRUE(before) << "the system lists its ports class";
  const struct {
    const char* name;
    std::wstring hardware_ids;
  } cases[] = {
      {"two identifiers", std::wstring(L"USB\\VID_10C4&PID_EA60&REV_0100\0USB\\VID_10C4&PID_EA60\0", 53)},
      {"over 512 bytes of identifiers", long_hardware_ids()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring wide_port(port_.begin(), port_.end());
    RegisteredAdapter adapter(c.hardware_ids, wide_port);
    ASSERT_TRUE(adapter.registered());
    const auto during = list_serial_ports();
    ASSERT_TRUE(during);
    for (const SerialPortEntry& port : *during)
      std::printf("listed: \"%s\" on \"%s\"\n", port.hardware_id.c_str(), port.port_name.c_str());
    const auto ours = std::find_if(during->begin(), during->end(), [](const SerialPortEntry& port) {
      return port.hardware_id == "USB\\VID_10C4&PID_EA60&REV_0100";
    });
    ASSERT_NE(ours, during->end());
    EXPECT_EQ(ours->port_name, port_);

    const std::optional<std::string> found = accessory::find_accessory_port(*during);
    ASSERT_EQ(found, port_);
    std::optional<SerialPort> port = SerialPort::open(serial_device_path(*found), kAccessoryTimeouts);
    ASSERT_TRUE(port);
    press(true);
    std::array<std::uint8_t, 32> buffer{};
    ASSERT_TRUE(port->write(accessory::ProbePattern));
    const std::optional<std::size_t> count = port->read(buffer);
    EXPECT_EQ(accessory::classify_echo(count, buffer), TalkValue::Pressed);
  }
  EXPECT_EQ(list_serial_ports()->size(), before->size()) << "the adapter is gone once removed";
}

TEST_F(AccessoryPortTest, PulledAdapterFailsItsProbeAndOnePluggedInAgainIsServed) {
  std::optional<SerialPort> port = open_port();
  ASSERT_TRUE(port);
  press(true);
  ASSERT_TRUE(port->write(accessory::ProbePattern));
  std::ofstream(folder_ / "unplug") << "out\n";
  std::this_thread::sleep_for(200ms);
  std::array<std::uint8_t, 32> buffer{};
  bool failed = false;
  for (int cycle = 0; cycle < 5 && !failed; ++cycle)
    failed = !port->write(accessory::ProbePattern) || !port->read(buffer);
  EXPECT_TRUE(failed) << "a port whose line hung up must fail";
  port.reset();

  fs::remove(folder_ / "unplug");
  for (const auto until = Clock::now() + 3s; !port && Clock::now() < until; std::this_thread::sleep_for(50ms))
    port = open_port();
  ASSERT_TRUE(port) << "the port opens again once an adapter is back";
  ASSERT_TRUE(port->write(accessory::ProbePattern));
  EXPECT_EQ(accessory::classify_echo(port->read(buffer), buffer), TalkValue::Pressed);
}

}  // namespace
}  // namespace marvok::platform
