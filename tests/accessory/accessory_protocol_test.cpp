#include <gtest/gtest.h>

#include <vector>

#include "accessory/adapter_table.h"
#include "accessory/probe_echo.h"

namespace marvok::accessory {
namespace {

TEST(AdapterTableTest, MatchesTheFirstRowWhoseTextsBothOccur) {
  const struct {
    const char* hardware_id;
    std::optional<std::size_t> row;
  } cases[] = {
      {"USB\\VID_0403&PID_6015", 4},
      {"USB\\VID_0403&PID_6001&REV_0600", 0},
      {"USB\\VID_1782&PID_4D12", 18},
      {"USB\\vid_0403&pid_6015", std::nullopt},
      {"USB\\VID_0403&PID_EA60", std::nullopt},
      {"USB\\VID_10C4", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(match_adapter(c.hardware_id), c.row) << c.hardware_id;
}

TEST(ProbeEchoTest, OnlyTheProbeInTheFirstEightBytesIsAPress) {
  std::vector<std::uint8_t> changed(ProbePattern.begin(), ProbePattern.end());
  changed[5] = 'Y';
  std::vector<std::uint8_t> twice(ProbePattern.begin(), ProbePattern.end());
  twice.insert(twice.end(), ProbePattern.begin(), ProbePattern.end());
  std::vector<std::uint8_t> then_noise = twice;
  then_noise.resize(32, 0xFF);
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::optional<std::size_t> count;
    std::optional<TalkValue> reading;
  } cases[] = {
      {"read failed", twice, std::nullopt, std::nullopt},
      {"nothing", {}, 0, TalkValue::Released},
      {"seven bytes", twice, 7, TalkValue::Released},
      {"probe", twice, 8, TalkValue::Pressed},
      {"two probes", twice, 16, TalkValue::Pressed},
      {"probe then noise", then_noise, 32, TalkValue::Pressed},
      {"one byte changed", changed, 8, TalkValue::Released},
      {"count beyond the buffer", {'P', 'X', 'X'}, 8, TalkValue::Released},
  };
  for (const auto& c : cases) EXPECT_EQ(classify_echo(c.count, c.bytes), c.reading) << c.name;
}

}  // namespace
}  // namespace marvok::accessory
