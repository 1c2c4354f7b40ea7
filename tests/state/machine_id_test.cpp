#include "state/machine_id.h"

#include <gtest/gtest.h>

namespace marvok {
namespace {

class FixedSerial final : public VolumeSerialSource {
 public:
  std::optional<std::string> root = "/";
  std::optional<std::uint32_t> serial;
  std::string asked_root;

  std::optional<std::string> system_root() override { return root; }
  std::optional<std::uint32_t> volume_serial(const std::string& at) override {
    asked_root = at;
    return serial;
  }
};

std::string id_of(FixedSerial& source) { return build_machine_id(source).data(); }

TEST(MachineIdTest, SerialIsPrintedAsSixteenDigits) {
  FixedSerial source;
  source.serial = 0;
  EXPECT_EQ(id_of(source), "0000000000000000");
  source.serial = 4294967295u;
  EXPECT_EQ(id_of(source), "0000004294967295");
  source.serial = 0x1b4e28ba;
  EXPECT_EQ(id_of(source), "0000000458107066");
}

TEST(MachineIdTest, SerialIsReadFromTheSystemRoot) {
  FixedSerial source;
  source.root = "/sysroot";
  source.serial = 1;
  id_of(source);
  EXPECT_EQ(source.asked_root, "/sysroot");
}

TEST(MachineIdTest, UnreadableVolumeGivesNines) {
  FixedSerial source;
  source.serial = std::nullopt;
  EXPECT_EQ(id_of(source), "9999999999999999");
}

TEST(MachineIdTest, MissingSystemRootGivesEights) {
  FixedSerial source;
  source.root = std::nullopt;
  source.serial = 42;
  EXPECT_EQ(id_of(source), "8888888888888888");
}

TEST(MachineIdTest, IdentifierIsAlwaysTerminatedWithinItsBuffer) {
  FixedSerial source;
  source.serial = 4294967295u;
  const auto id = build_machine_id(source);
  EXPECT_EQ(id[16], '\0');
}

}  // namespace
}  // namespace marvok
