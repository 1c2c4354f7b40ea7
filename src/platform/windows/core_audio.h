#pragma once

// Owners for the COM objects of the audio endpoint service, shared by the
// endpoint descriptions and the master volume.
#include <windows.h>
// Windows headers after windows.h.
#include <mmdeviceapi.h>
#include <objbase.h>
#include <propidl.h>

#include <string>
#include <string_view>
#include <utility>

namespace marvok::platform::core_audio {

// Joins the calling thread to COM for one scope. A thread already in another
// apartment keeps it (and is not left at the end), which is all a call needs.
class ComScope {
 public:
  explicit ComScope(DWORD apartment = COINIT_APARTMENTTHREADED)
      : joined_(SUCCEEDED(CoInitializeEx(nullptr, apartment))) {}
  ~ComScope() {
    if (joined_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool joined_;
};

// Holds one reference to a COM interface.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For a call that hands out a new reference; drops the one held first.
  Interface** put() {
    reset();
    return &pointer_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (pointer_) std::exchange(pointer_, nullptr)->Release();
  }

 private:
  Interface* pointer_ = nullptr;
};

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
