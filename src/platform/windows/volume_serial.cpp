#include "platform/volume_serial.h"

#include <windows.h>

#include <array>
#include <string>

#include "platform/windows/wide_text.h"

namespace marvok::platform {

std::optional<std::string> SystemVolumeSerial::system_root() {
  // "C:\Windows\system32": its first three characters are the drive's root.
  std::array<wchar_t, MAX_PATH> folder{};
  const UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  if (length < 3 || length >= folder.size()) return std::nullopt;
  return from_wide(std::wstring_view(folder.data(), 3));
}

std::optional<std::uint32_t> SystemVolumeSerial::volume_serial(const std::string& root) {
  DWORD serial = 0;
  if (!GetVolumeInformationW(to_wide(root).c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
    return std::nullopt;
  return serial;
}

}  // namespace marvok::platform
