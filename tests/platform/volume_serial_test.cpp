// This machine's identity from its system volume, the same on every system.
#include "platform/volume_serial.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace marvok::platform {
namespace {

TEST(VolumeSerialTest, ThisMachineHasAStableSixteenDigitIdentifierFromItsSerial) {
  SystemVolumeSerial source;
  const auto root = source.system_root();
  ASSERT_TRUE(root);
  const auto serial = source.volume_serial(*root);
  ASSERT_TRUE(serial);
  EXPECT_EQ(source.volume_serial(*root), serial);
  char expected[20] = {};
  std::snprintf(expected, sizeof expected, "%016lu", static_cast<unsigned long>(*serial));
  const std::string first = build_machine_id(source).data();
  EXPECT_EQ(first, expected);
  EXPECT_EQ(std::string(build_machine_id(source).data()), first);
}

TEST(VolumeSerialTest, UnreadableRootHasNoSerial) {
  SystemVolumeSerial source;
  for (const char* root : {"/nonexistent/volume", ""}) EXPECT_FALSE(source.volume_serial(root)) << root;
}

}  // namespace
}  // namespace marvok::platform
