// Against the endpoint service as the test's sound server feeds it: the inputs
// "USB Headset Mic" (the default) and "Microphone à large membrane pour le
// studio", and the monitors of the outputs "Speaker" and "MicFeed". Icons are
// given to endpoints in the service's own property store.
#include "platform/audio_endpoints.h"

#include <gtest/gtest.h>
#include <windows.h>
// Windows headers after windows.h.
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/input_device_table.h"
#include "platform/windows/endpoint_registry.h"
#include "state/utf8.h"

namespace marvok::platform {
namespace {

const std::u16string kHeadset = u"USB Headset Mic";
const std::u16string kStudio = u"Microphone \u00e0 large membrane pour le studio";

template <typename Call>
std::string printed_by(Call call) {
  std::fflush(stdout);
  ::testing::internal::CaptureStdout();
  call();
  return ::testing::internal::GetCapturedStdout();
}

std::vector<std::u16string> capture_endpoint_names() {
  std::vector<std::u16string> names;
  for (std::size_t i = 0; i < testing::active_endpoint_ids(eCapture).size(); ++i) {
    DeviceDescription description;
    EXPECT_EQ(describe_capture_endpoint(static_cast<int>(i), description), kEndpointOk) << i;
    names.push_back(description.name);
  }
  return names;
}

int index_of(const std::vector<std::u16string>& names, const std::u16string& name) {
  const auto found = std::find(names.begin(), names.end(), name);
  return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

// The names of the wave output devices, as WINMM cuts them.
std::vector<std::u16string> wave_output_names() {
  std::vector<std::u16string> names;
  for (UINT id = 0; id < waveOutGetNumDevs(); ++id) {
    WAVEOUTCAPSW capabilities{};
    if (waveOutGetDevCapsW(id, &capabilities, sizeof capabilities) == MMSYSERR_NOERROR)
      names.emplace_back(capabilities.szPname, capabilities.szPname + wcslen(capabilities.szPname));
  }
  return names;
}

const std::u16string kLongPath(300, u'p');

// An icon reference as stored, and what a description makes of it.
const struct IconCase {
  std::optional<std::wstring> stored;
  bool comma;
  std::u16string path;
  std::int32_t index;
} kIconCases[] = {
    {std::nullopt, false, u"unchanged", 0},
    {L"%windir%\\system32\\mmres.dll,-3012", true, u"%windir%\\system32\\mmres.dll", -3012},
    {L"mmres.dll", false, u"unchanged", 0},
    {L"", false, u"unchanged", 0},
    {L",", true, u"", 0},
    {L"a.dll,b,-12", true, u"a.dll", 0},
    {L"a.dll,+42x", true, u"a.dll", 42},
    {L"a.dll,-1234567890123", true, u"a.dll", -12345678},  // nine characters of it
    {std::wstring(kLongPath.begin(), kLongPath.end()) + L",5", true, kLongPath.substr(0, 259), 5},
};

TEST(AudioEndpointsTest, CaptureEndpointsAreTheActiveInputsWithTheirNames) {
  const std::vector<std::u16string> names = capture_endpoint_names();
  EXPECT_GE(index_of(names, kHeadset), 0);
  EXPECT_GE(index_of(names, kStudio), 0);     // the accent survives
  EXPECT_LT(index_of(names, u"Speaker"), 0);  // outputs are no capture endpoints
  for (const int index : {static_cast<int>(names.size()), -1, 1000}) {
    DeviceDescription description{u"unchanged", 7, u"unchanged"};
    EXPECT_EQ(describe_capture_endpoint(index, description), kEndpointFailed) << index;
    EXPECT_EQ(description.name, u"unchanged");
    EXPECT_EQ(description.icon_index, 7);
  }
}

TEST(AudioEndpointsTest, CaptureEndpointIconIsSplitAtTheFirstComma) {
  const int headset = index_of(capture_endpoint_names(), kHeadset);
  ASSERT_GE(headset, 0);
  testing::EndpointIcon icon(eCapture, testing::active_endpoint_ids(eCapture)[static_cast<std::size_t>(headset)]);
  for (const IconCase& c : kIconCases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - kIconCases));
    ASSERT_TRUE(icon.set(c.stored));
    DeviceDescription description{u"unchanged", 7, u""};
    EXPECT_EQ(describe_capture_endpoint(headset, description), kEndpointOk);  // with or without an icon
    EXPECT_EQ(description.name, kHeadset);
    EXPECT_EQ(description.icon_path, c.path);
    EXPECT_EQ(description.icon_index, c.index);
  }
}

TEST(AudioEndpointsTest, DefaultOutputGivesItsNameAndIconOrSaysThereIsNone) {
  const std::wstring output = testing::default_endpoint_id(eRender, eMultimedia);
  ASSERT_FALSE(output.empty());
  testing::EndpointIcon icon(eRender, output);
  const std::vector<std::u16string> wave_outputs = wave_output_names();
  for (const IconCase& c : kIconCases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - kIconCases));
    ASSERT_TRUE(icon.set(c.stored));
    DeviceDescription description{u"unchanged", 7, u""};
    int status = kEndpointFailed;
    const std::string printed = printed_by([&] { status = describe_default_output_device(description); });
    EXPECT_EQ(status, c.comma ? kEndpointOk : kEndpointNoIcon);
    EXPECT_EQ(printed, "Endpoint friendly name: " + utf16_to_utf8(description.name) + "\n" +
                           (c.comma ? "" : "Virgule non trouvée dans la chaîne.\n"));
    EXPECT_EQ(description.icon_path, c.path);
    EXPECT_EQ(description.icon_index, c.index);
    // Wave output knows the same device, by the first 31 characters of its name.
    EXPECT_NE(std::find(wave_outputs.begin(), wave_outputs.end(), description.name.substr(0, 31)), wave_outputs.end());
  }
}

TEST(AudioEndpointsTest, DefaultCaptureIndexIsWhereTheDefaultStandsAmongTheActive) {
  const std::optional<int> index = default_capture_endpoint_index();
  ASSERT_TRUE(index);
  const std::vector<std::wstring> ids = testing::active_endpoint_ids(eCapture);
  ASSERT_LT(static_cast<std::size_t>(*index), ids.size());
  EXPECT_EQ(ids[static_cast<std::size_t>(*index)], testing::default_endpoint_id(eCapture, eMultimedia));
  DeviceDescription description;
  EXPECT_EQ(describe_capture_endpoint(*index, description), kEndpointOk);
}

TEST(AudioEndpointsTest, InputDevicesAreFoundAmongTheEndpointsByTheirCutNames) {
  const std::vector<std::u16string> devices = list_input_devices();
  EXPECT_EQ(devices.size(), waveInGetNumDevs());
  EXPECT_GE(index_of(devices, kHeadset), 0);
  const int studio = index_of(devices, kStudio.substr(0, kInputDeviceNameChars));
  ASSERT_GE(studio, 0);

  std::array<InputDeviceEntry, kInputDeviceSlots> table{};
  refresh_input_device_table(table, devices, describe_capture_endpoint);
  const std::vector<std::u16string> endpoints = capture_endpoint_names();
  for (std::size_t i = 0; i < std::min(devices.size(), table.size()); ++i) {
    SCOPED_TRACE(utf16_to_utf8(devices[i]));
    ASSERT_GE(table[i].endpoint_index, 0);
    EXPECT_EQ(table[i].endpoint_name, endpoints[static_cast<std::size_t>(table[i].endpoint_index)]);
    EXPECT_EQ(table[i].device_id, static_cast<int>(i));
  }
  EXPECT_EQ(table[static_cast<std::size_t>(studio)].endpoint_name, kStudio);
}

}  // namespace
}  // namespace marvok::platform
