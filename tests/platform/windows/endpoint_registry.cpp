#include "platform/windows/endpoint_registry.h"

#include "platform/windows/core_audio.h"

namespace marvok::platform::testing {

namespace {

using core_audio::ComPtr;
using core_audio::ComScope;
using core_audio::EndpointId;

// The name under which the icon reference is stored: the property key's format and number.
constexpr wchar_t kIconValueName[] = L"{259ABFFC-50A7-47CE-AF08-68C9A7D73366},12";

ComPtr<IMMDeviceEnumerator> enumerator() {
  HRESULT status = S_OK;
  return core_audio::open_enumerator(status);
}

}  // namespace

std::vector<std::wstring> active_endpoint_ids(EDataFlow flow) {
  const ComScope com;
  std::vector<std::wstring> ids;
  const ComPtr<IMMDeviceEnumerator> devices = enumerator();
  ComPtr<IMMDeviceCollection> endpoints;
  UINT count = 0;
  if (!devices || FAILED(devices->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, endpoints.put())) ||
      FAILED(endpoints->GetCount(&count))) {
    return ids;
  }
  for (UINT i = 0; i < count; ++i) {
    ComPtr<IMMDevice> endpoint;
    EndpointId id;
    if (SUCCEEDED(endpoints->Item(i, endpoint.put()))) endpoint->GetId(id.put());
    ids.push_back(id.text());
  }
  return ids;
}

std::wstring default_endpoint_id(EDataFlow flow, ERole role) {
  const ComScope com;
  const ComPtr<IMMDeviceEnumerator> devices = enumerator();
  ComPtr<IMMDevice> endpoint;
  EndpointId id;
  if (devices && SUCCEEDED(devices->GetDefaultAudioEndpoint(flow, role, endpoint.put()))) endpoint->GetId(id.put());
  return id.text();
}

EndpointIcon::EndpointIcon(EDataFlow flow, const std::wstring& endpoint_id) {
  // An identifier ends with the endpoint's own key under the service's store.
  const std::wstring path = std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\") +
                            (flow == eRender ? L"Render\\" : L"Capture\\") +
                            endpoint_id.substr(endpoint_id.rfind(L'{')) + L"\\Properties";
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) != ERROR_SUCCESS) {
    key_ = nullptr;
    return;
  }
  wchar_t text[1024] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key_, kIconValueName, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
      type == REG_SZ)
    kept_ = text;
}

EndpointIcon::~EndpointIcon() {
  if (!key_) return;
  set(kept_);
  RegCloseKey(key_);
}

bool EndpointIcon::set(const std::optional<std::wstring>& reference) {
  if (!key_) return false;
  if (!reference) {
    const LSTATUS status = RegDeleteValueW(key_, kIconValueName);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  const auto bytes = static_cast<DWORD>((reference->size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key_, kIconValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(reference->c_str()), bytes) ==
         ERROR_SUCCESS;
}

}  // namespace marvok::platform::testing
