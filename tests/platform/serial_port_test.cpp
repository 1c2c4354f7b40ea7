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
  // Each port's device folder and, where it hangs on USB, the USB device's numbers.
  const struct {
    const char* name;
    const char* device;
    const char* usb_device;
    const char* numbers[2];
  } ports[] = {
      {"ttyUSB0", "usb/1-1/1-1:1.0/ttyUSB0", "usb/1-1", {"0403\n", "6015\n"}},
      {"ttyACM0", "usb/1-2/1-2:1.0", "usb/1-2", {"10c4\n", "ea60\n"}},
      {"ttyUSB1", "usb/1-3/1-3:1.0/ttyUSB1", "usb/1-3", {"zz\n", "123456\n"}},
      {"ttyS0", "platform/serial8250", nullptr, {}},
      {"tty0", nullptr, nullptr, {}},
  };
  for (const auto& port : ports) {
    fs::create_directories(root / "class/tty" / port.name);
    if (port.device) {
      fs::create_directories(root / "devices" / port.device);
      fs::create_directory_symlink(root / "devices" / port.device, root / "class/tty" / port.name / "device");
    }
    if (port.usb_device) {
      std::ofstream(root / "devices" / port.usb_device / "idVendor") << port.numbers[0];
      std::ofstream(root / "devices" / port.usb_device / "idProduct") << port.numbers[1];
    }
  }
  fs::create_directories(root / "drivers/serial8250");
  fs::create_directory_symlink(root / "drivers/serial8250", root / "devices/platform/serial8250/driver");

  const auto listed = list_serial_ports(root / "class/tty");
  ASSERT_TRUE(listed);
  const std::vector<std::pair<std::string, std::string>> expected = {{"USB\\VID_10C4&PID_EA60", "ttyACM0"},
                                                                     {"serial8250", "ttyS0"},
                                                                     {"USB\\VID_0403&PID_6015", "ttyUSB0"},
                                                                     {"", "ttyUSB1"}};
  ASSERT_EQ(listed->size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(std::pair((*listed)[i].hardware_id, (*listed)[i].port_name), expected[i]);
  EXPECT_FALSE(list_serial_ports(root / "missing"));
  fs::remove_all(root);
}

TEST(SerialPortTest, OpensOnlyTerminalsAndSetsTheirLine) {
  EXPECT_FALSE(SerialPort::open("/dev/marvok-no-such-port", {}));
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
