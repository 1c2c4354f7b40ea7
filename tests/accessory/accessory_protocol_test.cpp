#include <gtest/gtest.h>

#include <vector>

#include "accessory/adapter_table.h"
#include "accessory/probe_echo.h"

namespace marvok::accessory {
namespace {

TEST(AdapterTableTest, MatchesTheFirstRowWhoseTextsBothOccurCaseForCase) {
  const std::pair<const char*, std::optional<std::size_t>> cases[] = {
      {"USB\\VID_0403&PID_6015", 4},
      {"USB\\VID_0403&PID_6015&PID_6001", 0},  // two rows occur: the earlier wins
      {"USB\\VID_1782&PID_4D12&REV_0600", 18},
      {"USB\\vid_0403&PID_6015", std::nullopt},
      {"USB\\VID_0403&PID_EA60", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [hardware_id, row] : cases) EXPECT_EQ(match_adapter(hardware_id), row) << hardware_id;
}

TEST(ProbeEchoTest, OnlyTheProbeInTheFirstEightBytesIsAPress) {
  std::vector<std::uint8_t> echo(ProbePattern.begin(), ProbePattern.end());
  echo.insert(echo.end(), ProbePattern.begin(), ProbePattern.end());
  echo.resize(32, 0xFF);
  std::vector<std::uint8_t> changed(ProbePattern.begin(), ProbePattern.end());
  changed[5] = 'Y';
  const struct {
    std::vector<std::uint8_t> bytes;
    std::optional<std::size_t> count;
    std::optional<TalkValue> reading;
  } cases[] = {
      {echo, std::nullopt, std::nullopt},  // the read failed
      {{}, 0, TalkValue::Released},
      {echo, 7, TalkValue::Released},
      {echo, 8, TalkValue::Pressed},
      {echo, 16, TalkValue::Pressed},
      {echo, 32, TalkValue::Pressed},
      {changed, 8, TalkValue::Released},
      {{'P', 'X', 'X'}, 8, TalkValue::Released},  // a count beyond the buffer
  };
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(classify_echo(cases[i].count, cases[i].bytes), cases[i].reading) << "case " << i;
}

}  // namespace
}  // namespace marvok::accessory
