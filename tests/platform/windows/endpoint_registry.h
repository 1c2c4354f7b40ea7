#pragma once

#include <windows.h>
// Windows headers after windows.h.
#include <mmdeviceapi.h>

#include <optional>
#include <string>
#include <vector>

namespace marvok::platform::testing {

// The identifiers of the active endpoints of one direction, in the service's order.
std::vector<std::wstring> active_endpoint_ids(EDataFlow flow);
// The identifier of the default endpoint; empty when there is none.
std::wstring default_endpoint_id(EDataFlow flow, ERole role);

// Gives an endpoint an icon reference (or none) in the endpoint service's own
// store of properties, and puts back what it held at the end.
class EndpointIcon {
 public:
  EndpointIcon(EDataFlow flow, const std::wstring& endpoint_id);
  ~EndpointIcon();
  EndpointIcon(const EndpointIcon&) = delete;
  EndpointIcon& operator=(const EndpointIcon&) = delete;

  // Nothing removes the property.
  bool set(const std::optional<std::wstring>& reference);

 private:
  HKEY key_ = nullptr;
  std::optional<std::wstring> kept_;
};

}  // namespace marvok::platform::testing
