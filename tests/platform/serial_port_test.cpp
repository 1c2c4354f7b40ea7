#include "platform/serial_port.h"

#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>

#include "support/pseudo_terminal.h"

namespace marvok::platform {
namespace {

namespace fs = std::filesystem;

TEST(SerialPortTest, ListsThePortsTheKernelShowsWithTheirAdaptersNumbers) {
  const fs::path root = fs::path(::testing::TempDir()) / ("marvok-sysfs-" + std::to_string(::getpid()));
  fs::remove_all(root);
  // Each port's device folder and, on USB, the numbers of the USB device two levels up.
  const std::tuple<const char*, const char*, const char*, const char*> ports[] = {
      {"ttyUSB0", "usb/1-1/1-1:1.0/ttyUSB0", "0403", "ab6c"},
      {"ttyUSB1", "usb/1-3/1-3:1.0/ttyUSB1", "zz", "123456"},
      {"ttyS0", "platform/serial8250", nullptr, nullptr},
      {"tty0", nullptr, nullptr, nullptr},
  };
  for (const auto& [name, device, vendor, product] : ports) {
    fs::create_directories(root / "class/tty" / name);
    if (!device) continue;
    fs::create_directories(root / "devices" / device);
    fs::create_directory_symlink(root / "devices" / device, root / "class/tty" / name / "device");
    if (!vendor) continue;
    std::ofstream((root / "devices" / device).parent_path().parent_path() / "idVendor") << vendor << '\n';
    std::ofstream((root / "devices" / device).parent_path().parent_path() / "idProduct") << product << '\n';
  }
  fs::create_directories(root / "drivers/serial8250");
  fs::create_directory_symlink(root / "drivers/serial8250", root / "devices/platform/serial8250/driver");

  const auto listed = list_serial_ports(root / "class/tty");
  ASSERT_TRUE(listed);
  std::vector<std::pair<std::string, std::string>> found;
  for (const auto& port : *listed) found.emplace_back(port.hardware_id, port.port_name);
  EXPECT_EQ(found, (decltype(found){{"serial8250", "ttyS0"}, {"USB\\VID_0403&PID_AB6C", "ttyUSB0"}, {"", "ttyUSB1"}}));
  EXPECT_FALSE(list_serial_ports(root / "missing"));
  fs::remove_all(root);
}

TEST(SerialPortTest, OpensOnlyTerminalsAndSetsTheirLine) {
  EXPECT_FALSE(SerialPort::open("/dev/null", {}));
  marvok::testing::PseudoTerminal terminal;
  ASSERT_TRUE(SerialPort::open(serial_device_path(terminal.port_name()), {}));
  termios line{};
  ASSERT_EQ(::tcgetattr(terminal.far_end(), &line), 0);
  EXPECT_EQ(::cfgetospeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_lflag & (ECHO | ICANON), 0u) << "an echoing line would answer the probe itself";
}

}  // namespace
}  // namespace marvok::platform
