// The system drive's volume serial as this machine's identity.
#include "platform/volume_serial.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

namespace marvok::platform {
namespace {

TEST(VolumeSerialTest, SystemRootIsTheDriveOfTheSystemFolder) {
  SystemVolumeSerial source;
  const std::optional<std::string> root = source.system_root();
  ASSERT_TRUE(root);
  ASSERT_EQ(root->size(), 3u);
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>((*root)[0])));
  EXPECT_EQ(root->substr(1), ":\\");
}

TEST(VolumeSerialTest, ThisMachineHasAStableSixteenDigitIdentifierFromItsSerial) {
  SystemVolumeSerial source;
  const std::optional<std::string> root = source.system_root();
  ASSERT_TRUE(root);
  const std::optional<std::uint32_t> serial = source.volume_serial(*root);
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
  for (const char* root : {"Q:\\", "C:\\no such folder\\", "", "\\\\nohost\\share\\"})
    EXPECT_FALSE(source.volume_serial(root)) << root;
}

}  // namespace
}  // namespace marvok::platform
