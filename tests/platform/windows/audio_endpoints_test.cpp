// Against the endpoint service as the test's sound server feeds it: the inputs
// "USB Headset Mic" (the default) and "Microphone à large membrane pour le
// studio", and the outputs' monitors. Icons are given to endpoints in the
// service's own store of properties. The WithoutSoundDevices tests run by
// themselves, against no server at all.
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
#include "platform/windows/core_audio.h"
#include "state/utf8.h"

namespace marvok::platform {
namespace {

using namespace core_audio;

const std::u16string kHeadset = u"USB Headset Mic";
const std::u16string kStudio = u"Microphone \u00e0 large membrane pour le studio";

template <typename Call>
std::string printed_by(Call call) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

// The identifiers of the active capture endpoints, then of the default
// capture and render endpoints, straight from the service.
std::vector<std::wstring> endpoint_ids() {
  const ComApartment com(COINIT_APARTMENTTHREADED);
  HRESULT status = S_OK;
  const ComPtr<IMMDeviceEnumerator> enumerator = open_enumerator(status);
  ComPtr<IMMDeviceCollection> endpoints;
  UINT count = 0;
  if (!enumerator || FAILED(enumerator->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, endpoints.put()))) return {};
  endpoints->GetCount(&count);
  std::vector<std::wstring> ids;
  for (UINT i = 0; i < count + 2; ++i) {
    ComPtr<IMMDevice> endpoint;
    EndpointId id;
    if (i < count ? SUCCEEDED(endpoints->Item(i, endpoint.put()))
                  : SUCCEEDED(enumerator->GetDefaultAudioEndpoint(i == count ? eCapture : eRender, eMultimedia,
                                                                  endpoint.put())))
      endpoint->GetId(id.put());
    ids.push_back(id.text());
  }
  return ids;
}

// Gives an endpoint an icon reference, or none, where the service keeps its
// properties; removes it at the end.
class EndpointIcon {
 public:
  EndpointIcon(const wchar_t* flow, const std::wstring& id) {
    const std::wstring path = std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\") + flow +
                              L"\\" + id.substr(id.rfind(L'{')) + L"\\Properties";
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~EndpointIcon() {
    set(std::nullopt);
    if (key_) RegCloseKey(key_);
  }
  bool set(const std::optional<std::wstring>& reference) {
    static constexpr wchar_t kName[] = L"{259ABFFC-50A7-47CE-AF08-68C9A7D73366},12";
    if (!key_) return false;
    if (!reference) return RegDeleteValueW(key_, kName) != ERROR_ACCESS_DENIED;
    const auto bytes = static_cast<DWORD>((reference->size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key_, kName, 0, REG_SZ, reinterpret_cast<const BYTE*>(reference->c_str()), bytes) ==
           ERROR_SUCCESS;
  }

 private:
  HKEY key_ = nullptr;
};

std::vector<std::u16string> capture_endpoint_names(std::size_t count) {
  std::vector<std::u16string> names;
  for (std::size_t i = 0; i < count; ++i) {
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
    {L",", true, u"", 0},
    {L"a.dll,b,-12", true, u"a.dll", 0},
    {L"a.dll,+42x", true, u"a.dll", 42},
    {L"a.dll,-1234567890123", true, u"a.dll", -12345678},  // nine characters of it
    {std::wstring(kLongPath.begin(), kLongPath.end()) + L",5", true, kLongPath.substr(0, 259), 5},
};

TEST(AudioEndpointsTest, CaptureEndpointsAreTheActiveInputsWithTheirNamesAndIcons) {
  const std::vector<std::wstring> ids = endpoint_ids();
  ASSERT_GE(ids.size(), 2u);
  const std::vector<std::u16string> names = capture_endpoint_names(ids.size() - 2);
  EXPECT_GE(index_of(names, kStudio), 0);     // the accent survives
  EXPECT_LT(index_of(names, u"Speaker"), 0);  // outputs are no capture endpoints
  for (const int index : {static_cast<int>(names.size()), -1}) {
    DeviceDescription description{u"unchanged", 7, u"unchanged"};
    EXPECT_EQ(describe_capture_endpoint(index, description), kEndpointFailed) << index;
    EXPECT_EQ(description.name, u"unchanged");
  }
  // The default is where its identifier stands among the active ones.
  const std::optional<int> default_index = default_capture_endpoint_index();
  ASSERT_TRUE(default_index);
  EXPECT_EQ(ids[static_cast<std::size_t>(*default_index)], ids[ids.size() - 2]);

  const int headset = index_of(names, kHeadset);
  ASSERT_GE(headset, 0);
  EndpointIcon icon(L"Capture", ids[static_cast<std::size_t>(headset)]);
  for (const IconCase& c : kIconCases) {
    SCOPED_TRACE(&c - kIconCases);
    ASSERT_TRUE(icon.set(c.stored));
    DeviceDescription description{u"unchanged", 7, u""};
    EXPECT_EQ(describe_capture_endpoint(headset, description), kEndpointOk);  // with or without an icon
    EXPECT_EQ(description.name, kHeadset);
    EXPECT_EQ(description.icon_path, c.path);
    EXPECT_EQ(description.icon_index, c.index);
  }
}

TEST(AudioEndpointsTest, DefaultOutputGivesItsNameAndIconOrSaysThereIsNone) {
  EndpointIcon icon(L"Render", endpoint_ids().back());
  // Wave output knows the same device, by the first 31 characters of its name.
  std::vector<std::u16string> wave_outputs;
  for (UINT id = 0; id < waveOutGetNumDevs(); ++id) {
    WAVEOUTCAPSW capabilities{};
    waveOutGetDevCapsW(id, &capabilities, sizeof capabilities);
    wave_outputs.emplace_back(capabilities.szPname, capabilities.szPname + wcslen(capabilities.szPname));
  }
  for (const IconCase& c : kIconCases) {
    SCOPED_TRACE(&c - kIconCases);
    ASSERT_TRUE(icon.set(c.stored));
    DeviceDescription description{u"unchanged", 7, u""};
    int status = kEndpointFailed;
    const std::string printed = printed_by([&] { status = describe_default_output_device(description); });
    EXPECT_EQ(status, c.comma ? kEndpointOk : kEndpointNoIcon);
    EXPECT_EQ(printed, "Endpoint friendly name: " + utf16_to_utf8(description.name) + "\n" +
                           (c.comma ? "" : "Virgule non trouvée dans la chaîne.\n"));
    EXPECT_EQ(description.icon_path, c.path);
    EXPECT_EQ(description.icon_index, c.index);
    EXPECT_GE(index_of(wave_outputs, description.name.substr(0, 31)), 0);
  }
}

TEST(AudioEndpointsTest, InputDevicesAreFoundAmongTheEndpointsByTheirCutNames) {
  const std::vector<std::u16string> devices = list_input_devices();
  EXPECT_GE(index_of(devices, kHeadset), 0);
  const int studio = index_of(devices, kStudio.substr(0, kInputDeviceNameChars));
  ASSERT_GE(studio, 0);
  std::array<InputDeviceEntry, kInputDeviceSlots> table{};
  refresh_input_device_table(table, devices, describe_capture_endpoint);
  const std::vector<std::u16string> endpoints = capture_endpoint_names(endpoint_ids().size() - 2);
  for (std::size_t i = 0; i < std::min(devices.size(), table.size()); ++i) {
    ASSERT_GE(table[i].endpoint_index, 0) << i;
    EXPECT_EQ(table[i].endpoint_name, endpoints[static_cast<std::size_t>(table[i].endpoint_index)]);
  }
  EXPECT_EQ(table[static_cast<std::size_t>(studio)].endpoint_name, kStudio);
}

TEST(WithoutSoundDevicesTest, NoEndpointNoInputDeviceAndNothingPrinted) {
  DeviceDescription description{u"unchanged", 7, u"unchanged"};
  EXPECT_EQ(describe_capture_endpoint(0, description), kEndpointFailed);
  EXPECT_EQ(printed_by([&] { EXPECT_EQ(describe_default_output_device(description), kEndpointFailed); }), "");
  EXPECT_EQ(description.name, u"unchanged");
  EXPECT_EQ(default_capture_endpoint_index(), std::nullopt);
  EXPECT_TRUE(list_input_devices().empty());
}

}  // namespace
}  // namespace marvok::platform
