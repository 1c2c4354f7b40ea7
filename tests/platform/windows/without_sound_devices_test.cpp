// Run by itself, against no sound server at all: the endpoint service then
// has no endpoint and wave capture no device.
#include <gtest/gtest.h>

#include "platform/audio_endpoints.h"
#include "platform/master_volume.h"

namespace marvok::platform {
namespace {

template <typename Call>
std::string printed_by(Call call) {
  std::fflush(stdout);
  ::testing::internal::CaptureStdout();
  call();
  return ::testing::internal::GetCapturedStdout();
}

TEST(WithoutSoundDevicesTest, NothingIsFoundAndNothingIsPrinted) {
  for (const int index : {0, 1, -1}) {
    DeviceDescription description{u"unchanged", 7, u"unchanged"};
    EXPECT_EQ(describe_capture_endpoint(index, description), kEndpointFailed);
    EXPECT_EQ(description.name, u"unchanged");
  }
  DeviceDescription description{u"unchanged", 7, u"unchanged"};
  EXPECT_EQ(printed_by([&] { EXPECT_EQ(describe_default_output_device(description), kEndpointFailed); }), "");
  EXPECT_EQ(description.name, u"unchanged");
  EXPECT_EQ(default_capture_endpoint_index(), std::nullopt);
  EXPECT_TRUE(list_input_devices().empty());
}

TEST(WithoutSoundDevicesTest, NoLevelToReadOrSet) {
  MasterLevelReader reader;
  for (const AudioEndpoint endpoint : {AudioEndpoint::DefaultCapture, AudioEndpoint::DefaultRender}) {
    EXPECT_EQ(get_master_level(endpoint), std::nullopt);
    EXPECT_FALSE(set_master_level(endpoint, 0.5f));
    // Asked again after a failure, the reader tries again and fails the same.
    EXPECT_EQ(reader.read(endpoint), std::nullopt);
    EXPECT_EQ(reader.read(endpoint), std::nullopt);
  }
}

}  // namespace
}  // namespace marvok::platform
