// Friendly names and icons of the audio endpoints, from each endpoint's
// property store, and the input devices as wave capture numbers them.
#include "platform/audio_endpoints.h"

#include <windows.h>
// Windows headers after windows.h.
#include <mmdeviceapi.h>
#include <mmsystem.h>
// Defines the property keys of the header that follows, here once.
#include <initguid.h>
// After the types it uses.
#include <functiondiscoverykeys_devpkey.h>

#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/windows/core_audio.h"
#include "state/utf8.h"

namespace marvok::platform {

namespace {

using core_audio::EndpointId;
using core_audio::PropertyValue;

// The icon of a device class: "file,resource index". Not in the compiler's headers.
constexpr PROPERTYKEY kDeviceClassIconPath{
    {0x259abffc, 0x50a7, 0x47ce, {0xaf, 0x08, 0x68, 0xc9, 0xa7, 0xd7, 0x33, 0x66}}, 12};

// Digits of the icon's resource index looked at, sign included.
constexpr std::size_t kIconIndexChars = 9;

std::u16string to_u16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string cut(std::u16string text, std::size_t limit) {
  if (text.size() > limit) text.resize(limit);
  return text;
}

// A decimal number with an optional sign, read up to the first other character.
std::int32_t leading_integer(std::wstring_view text) {
  std::size_t at = 0;
  const bool negative = !text.empty() && text[0] == L'-';
  if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) at = 1;
  std::int32_t value = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) value = value * 10 + (text[at] - L'0');
  return negative ? -value : value;
}

// Unreadable: the property itself could not be read.
enum class IconFound { Yes, No, Unreadable };

// Splits "file,index" at the first comma. Without a comma the path is left as
// it was and the index is 0.
IconFound read_icon_reference(const wchar_t* reference, DeviceDescription& description) {
  const std::wstring_view text = reference ? std::wstring_view(reference) : std::wstring_view();
  const std::size_t comma = text.find(L',');
  if (comma == std::wstring_view::npos) {
    description.icon_index = 0;
    return IconFound::No;
  }
  description.icon_path = cut(to_u16(text.substr(0, comma)), kIconPathChars);
  description.icon_index = leading_integer(text.substr(comma + 1, kIconIndexChars));
  return IconFound::Yes;
}

enum class Trace { None, Name };

// Reads an endpoint's friendly name and icon. What became of the icon is told
// apart: callers differ on whether its absence is a failure.
HRESULT read_description(IMMDevice& endpoint, DeviceDescription& description, IconFound& icon, Trace trace) {
  ComPtr<IPropertyStore> properties;
  HRESULT status = endpoint.OpenPropertyStore(STGM_READ, properties.put());
  if (FAILED(status)) return status;
  {
    PropertyValue name;
    status = properties->GetValue(PKEY_Device_FriendlyName, name.put());
    if (FAILED(status)) return status;
    if (!name.text()) return E_FAIL;
    description.name = cut(to_u16(name.text()), kEndpointNameChars);
  }
  if (trace == Trace::Name) print_console_text("Endpoint friendly name: " + utf16_to_utf8(description.name) + "\n");
  PropertyValue reference;
  icon = FAILED(properties->GetValue(kDeviceClassIconPath, reference.put()))
             ? IconFound::Unreadable
             : read_icon_reference(reference.text(), description);
  return S_OK;
}

// The active capture endpoints, in the service's order.
ComPtr<IMMDeviceCollection> capture_endpoints(IMMDeviceEnumerator& enumerator, UINT& count) {
  ComPtr<IMMDeviceCollection> endpoints;
  count = 0;
  if (FAILED(enumerator.EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, endpoints.put())) ||
      FAILED(endpoints->GetCount(&count))) {
    endpoints.reset();
  }
  return endpoints;
}

}  // namespace

int describe_default_output_device(DeviceDescription& description) {
  const ComApartment com(COINIT_APARTMENTTHREADED);
  HRESULT status = S_OK;
  const ComPtr<IMMDeviceEnumerator> enumerator = core_audio::open_enumerator(status);
  if (!enumerator) return kEndpointFailed;
  ComPtr<IMMDevice> endpoint;
  if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, endpoint.put()))) return kEndpointFailed;
  IconFound icon = IconFound::No;
  if (FAILED(read_description(*endpoint.get(), description, icon, Trace::Name)) || icon == IconFound::Unreadable)
    return kEndpointFailed;
  if (icon == IconFound::No) {
    print_console_text("Virgule non trouvée dans la chaîne.\n");
    return kEndpointNoIcon;
  }
  return kEndpointOk;
}

int describe_capture_endpoint(int index, DeviceDescription& description) {
  if (index < 0) return kEndpointFailed;
  const ComApartment com(COINIT_APARTMENTTHREADED);
  HRESULT status = S_OK;
  const ComPtr<IMMDeviceEnumerator> enumerator = core_audio::open_enumerator(status);
  if (!enumerator) return kEndpointFailed;
  UINT count = 0;
  const ComPtr<IMMDeviceCollection> endpoints = capture_endpoints(*enumerator.get(), count);
  if (!endpoints || static_cast<UINT>(index) >= count) return kEndpointFailed;
  ComPtr<IMMDevice> endpoint;
  if (FAILED(endpoints->Item(static_cast<UINT>(index), endpoint.put()))) return kEndpointFailed;
  IconFound icon = IconFound::No;
  return SUCCEEDED(read_description(*endpoint.get(), description, icon, Trace::None)) ? kEndpointOk : kEndpointFailed;
}

std::optional<int> default_capture_endpoint_index() {
  const ComApartment com(COINIT_APARTMENTTHREADED);
  HRESULT status = S_OK;
  const ComPtr<IMMDeviceEnumerator> enumerator = core_audio::open_enumerator(status);
  if (!enumerator) return std::nullopt;
  ComPtr<IMMDevice> wanted;
  EndpointId wanted_id;
  if (FAILED(enumerator->GetDefaultAudioEndpoint(eCapture, eMultimedia, wanted.put())) ||
      FAILED(wanted->GetId(wanted_id.put()))) {
    return std::nullopt;
  }
  UINT count = 0;
  const ComPtr<IMMDeviceCollection> endpoints = capture_endpoints(*enumerator.get(), count);
  if (!endpoints) return std::nullopt;
  for (UINT i = 0; i < count; ++i) {
    ComPtr<IMMDevice> endpoint;
    EndpointId id;
    if (SUCCEEDED(endpoints->Item(i, endpoint.put())) && SUCCEEDED(endpoint->GetId(id.put())) && id == wanted_id)
      return static_cast<int>(i);
  }
  return std::nullopt;
}

std::vector<std::u16string> list_input_devices() {
  std::vector<std::u16string> names;
  const UINT count = waveInGetNumDevs();
  for (UINT id = 0; id < count; ++id) {
    // A device whose capabilities cannot be read keeps its number, without a name.
    WAVEINCAPSW capabilities{};
    std::u16string name;
    if (waveInGetDevCapsW(id, &capabilities, sizeof capabilities) == MMSYSERR_NOERROR) {
      const std::wstring_view product(capabilities.szPname, wcsnlen(capabilities.szPname, MAXPNAMELEN));
      name = cut(to_u16(product), kInputDeviceNameChars);
    }
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace marvok::platform
