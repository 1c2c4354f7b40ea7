// Master levels of the default speaker and microphone of the endpoint service.
#include "platform/master_volume.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <iostream>
#include <limits>
#include <thread>

namespace marvok::platform {
namespace {

constexpr AudioEndpoint kEndpoints[] = {AudioEndpoint::DefaultCapture, AudioEndpoint::DefaultRender};

TEST(MasterVolumeTest, LevelSetReadsBackOrARefusalLeavesItAsItWas) {
  for (const AudioEndpoint endpoint : kEndpoints) {
    SCOPED_TRACE(static_cast<int>(endpoint));
    const std::optional<float> before = get_master_level(endpoint);
    ASSERT_TRUE(before);
    EXPECT_GE(*before, 0.0f);
    EXPECT_LE(*before, 1.0f);
    EXPECT_FALSE(set_master_level(endpoint, std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(get_master_level(endpoint), before);
    const struct { float asked, expected; } cases[] = {{0.5f, 0.5f}, {2.0f, 1.0f}, {-1.0f, 0.0f}, {0.25f, 0.25f}};
    for (const auto& c : cases) {
      if (set_master_level(endpoint, c.asked)) {
        EXPECT_NEAR(*get_master_level(endpoint), c.expected, 0.001f) << c.asked;
      } else {
        // Some endpoint services keep the level read-only (Wine's does).
        std::cout << "[ REFUSED  ] master level " << c.asked << " of endpoint " << static_cast<int>(endpoint) << "\n";
        EXPECT_EQ(get_master_level(endpoint), before);
      }
    }
    set_master_level(endpoint, *before);
  }
}

TEST(MasterVolumeTest, ReaderKeptOpenReadsWhatEachCallReads) {
  MasterLevelReader reader;
  for (int round = 0; round < 3; ++round) {
    for (const AudioEndpoint endpoint : kEndpoints) {
      const std::optional<float> level = reader.read(endpoint);
      ASSERT_TRUE(level);
      EXPECT_EQ(level, get_master_level(endpoint));
    }
  }
  // Opened on this thread, it reads on another as well.
  std::optional<float> elsewhere;
  std::thread([&] { elsewhere = reader.read(AudioEndpoint::DefaultRender); }).join();
  EXPECT_EQ(elsewhere, get_master_level(AudioEndpoint::DefaultRender));
}

TEST(MasterVolumeTest, KeepingTheReaderOpenCostsLessThanAConnectionPerRead) {
  using Clock = std::chrono::steady_clock;
  constexpr int kReads = 50;
  MasterLevelReader reader;
  reader.read(AudioEndpoint::DefaultCapture);
  auto start = Clock::now();
  for (int i = 0; i < kReads; ++i) ASSERT_TRUE(reader.read(AudioEndpoint::DefaultCapture));
  const auto kept = (Clock::now() - start) / kReads;
  start = Clock::now();
  for (int i = 0; i < kReads; ++i) ASSERT_TRUE(get_master_level(AudioEndpoint::DefaultCapture));
  const auto each = (Clock::now() - start) / kReads;
  using std::chrono::microseconds, std::chrono::duration_cast;
  std::cout << "[ FIGURES  ] one read: " << duration_cast<microseconds>(kept).count() << " us kept open, "
            << duration_cast<microseconds>(each).count() << " us opened each time\n";
  EXPECT_LT(kept, each);
}

TEST(WithoutSoundDevicesTest, NoLevelToReadOrSet) {
  MasterLevelReader reader;
  for (const AudioEndpoint endpoint : kEndpoints) {
    EXPECT_EQ(get_master_level(endpoint), std::nullopt);
    EXPECT_FALSE(set_master_level(endpoint, 0.5f));
    // Asked again after a failure, the reader tries again and fails the same.
    EXPECT_EQ(reader.read(endpoint), std::nullopt);
    EXPECT_EQ(reader.read(endpoint), std::nullopt);
  }
}

}  // namespace
}  // namespace marvok::platform
