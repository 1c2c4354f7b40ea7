#include "ui/win32/icon_location.h"

#include <windows.h>

#include <charconv>

namespace marvok::ui::win32 {

namespace {

std::wstring expanded(const std::wstring& path) {
  const DWORD needed = ExpandEnvironmentStringsW(path.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::wstring result(needed, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(path.c_str(), result.data(), needed);
  if (written == 0 || written > needed) return path;
  result.resize(written - 1);  // the count holds the terminating zero
  return result;
}

}  // namespace

std::optional<IconLocation> icon_location(std::u16string_view name) {
  std::u16string_view path = name;
  int index = 0;
  if (const auto comma = name.rfind(u','); comma != std::u16string_view::npos) {
    const std::u16string_view digits = name.substr(comma + 1);
    const std::string ascii(digits.begin(), digits.end());
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), index);
    if (error != std::errc() || end != ascii.data() + ascii.size()) return std::nullopt;
    path = name.substr(0, comma);
  }
  if (path.empty()) return std::nullopt;
  return IconLocation{expanded(std::wstring(path.begin(), path.end())), index};
}

}  // namespace marvok::ui::win32
