// The Linux volume serial: the first 32 bits of the filesystem's UUID.
#include <gtest/gtest.h>

#include "platform/volume_serial.h"

namespace marvok::platform {
namespace {

TEST(VolumeSerialUuidTest, SerialIsTheFirstThirtyTwoBitsOfTheUuid) {
  EXPECT_EQ(serial_from_uuid_text("1b4e28ba-2fa1-11d2-883f-0016d3cca427"), 0x1b4e28bau);
  EXPECT_EQ(serial_from_uuid_text("ABCD-1234"), 0xABCD1234u);  // FAT volumes
  EXPECT_EQ(serial_from_uuid_text("ffffffff"), 0xFFFFFFFFu);
  EXPECT_EQ(serial_from_uuid_text("00000000-0000"), 0u);
}

TEST(VolumeSerialUuidTest, UuidTooShortOrNotHexHasNoSerial) {
  EXPECT_FALSE(serial_from_uuid_text("ABCD-123"));
  EXPECT_FALSE(serial_from_uuid_text(""));
  EXPECT_FALSE(serial_from_uuid_text("1b4e28bz-2fa1"));
}

TEST(VolumeSerialUuidTest, SystemRootIsAMountPoint) {
  SystemVolumeSerial source;
  const auto root = source.system_root();
  ASSERT_TRUE(root);
  EXPECT_EQ(root->front(), '/');
}

}  // namespace
}  // namespace marvok::platform
