// The system drive, whose volume serial is this machine's identity.
#include "platform/volume_serial.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace marvok::platform {
namespace {

TEST(VolumeSerialDriveTest, SystemRootIsTheDriveOfTheSystemFolder) {
  SystemVolumeSerial source;
  const std::optional<std::string> root = source.system_root();
  ASSERT_TRUE(root);
  ASSERT_EQ(root->size(), 3u);
  EXPECT_TRUE(std::isalpha(static_cast<unsigned char>((*root)[0])));
  EXPECT_EQ(root->substr(1), ":\\");
}

TEST(VolumeSerialDriveTest, DrivesThatCannotBeReadHaveNoSerial) {
  SystemVolumeSerial source;
  for (const char* root : {"Q:\\", "C:\\no such folder\\", "\\\\nohost\\share\\"})
    EXPECT_FALSE(source.volume_serial(root)) << root;
}

}  // namespace
}  // namespace marvok::platform
