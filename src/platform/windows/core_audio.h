#pragma once

// Owners for what the audio endpoint service hands out, shared by the
// endpoint descriptions, the master volume and the float output.
#include <windows.h>
// Windows headers after windows.h.
#include <mmdeviceapi.h>
#include <objbase.h>
#include <propidl.h>

#include <string>
#include <string_view>
#include <utility>

#include "platform/windows/com.h"

namespace marvok::platform::core_audio {

// A property value, cleared when it goes.
class PropertyValue {
 public:
  PropertyValue() { PropVariantInit(&value_); }
  ~PropertyValue() { PropVariantClear(&value_); }
  PropertyValue(const PropertyValue&) = delete;
  PropertyValue& operator=(const PropertyValue&) = delete;

  PROPVARIANT* put() {
    PropVariantClear(&value_);
    return &value_;
  }
  // The text the value holds (the first of a list of texts); nothing else is text.
  const wchar_t* text() const {
    if (value_.vt == VT_LPWSTR) return value_.pwszVal;
    if (value_.vt == (VT_VECTOR | VT_LPWSTR) && value_.calpwstr.cElems > 0) return value_.calpwstr.pElems[0];
    return nullptr;
  }

 private:
  PROPVARIANT value_;
};

// An endpoint's identifier, which the service hands out in memory of its own.
class EndpointId {
 public:
  EndpointId() = default;
  ~EndpointId() { CoTaskMemFree(text_); }
  EndpointId(const EndpointId&) = delete;
  EndpointId& operator=(const EndpointId&) = delete;

  LPWSTR* put() {
    CoTaskMemFree(std::exchange(text_, nullptr));
    return &text_;
  }
  bool empty() const { return text_ == nullptr; }
  bool operator==(const EndpointId& other) const {
    return text_ && other.text_ && std::wstring_view(text_) == std::wstring_view(other.text_);
  }
  std::wstring text() const { return text_ ? std::wstring(text_) : std::wstring(); }

 private:
  LPWSTR text_ = nullptr;
};

// The endpoint service's device enumerator: nothing when it cannot be made.
inline ComPtr<IMMDeviceEnumerator> open_enumerator(HRESULT& status) {
  ComPtr<IMMDeviceEnumerator> enumerator;
  status = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                            enumerator.put_void());
  if (FAILED(status)) enumerator.reset();
  return enumerator;
}

}  // namespace marvok::platform::core_audio
