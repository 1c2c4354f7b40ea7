#include "platform/volume_serial.h"

#include <gtest/gtest.h>

namespace marvok::platform {
namespace {

TEST(VolumeSerialTest, SerialIsTheFirstThirtyTwoBitsOfTheUuid) {
  EXPECT_EQ(serial_from_uuid_text("1b4e28ba-2fa1-11d2-883f-0016d3cca427"), 0x1b4e28bau);
  EXPECT_EQ(serial_from_uuid_text("ABCD-1234"), 0xABCD1234u);  // FAT volumes
  EXPECT_EQ(serial_from_uuid_text("ffffffff"), 0xFFFFFFFFu);
  EXPECT_EQ(serial_from_uuid_text("00000000-0000"), 0u);
}

TEST(VolumeSerialTest, UuidTooShortOrNotHexHasNoSerial) {
  EXPECT_FALSE(serial_from_uuid_text("ABCD-123"));
  EXPECT_FALSE(serial_from_uuid_text(""));
  EXPECT_FALSE(serial_from_uuid_text("1b4e28bz-2fa1"));
}

TEST(VolumeSerialTest, ThisMachineHasAStableSixteenDigitIdentifier) {
  SystemVolumeSerial source;
  const auto root = source.system_root();
  ASSERT_TRUE(root);
  EXPECT_EQ(root->front(), '/');
  const std::string first = build_machine_id(source).data();
  EXPECT_EQ(first.size(), 16u);
  EXPECT_EQ(first.find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(std::string(build_machine_id(source).data()), first);
}

TEST(VolumeSerialTest, UnreadableRootHasNoSerial) {
  SystemVolumeSerial source;
  EXPECT_FALSE(source.volume_serial("/nonexistent/volume"));
}

}  // namespace
}  // namespace marvok::platform
