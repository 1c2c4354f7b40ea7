#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace marvok::ui::win32 {

// Where Windows keeps a device's icon: a file and the icon's index in it (a
// negative index names a resource id), written "path,index" with variables
// such as %SystemRoot% in the path.
struct IconLocation {
  std::wstring path;
  int index = 0;

  friend bool operator==(const IconLocation&, const IconLocation&) = default;
};

// The location `name` gives, its variables expanded; nothing when it names no file.
std::optional<IconLocation> icon_location(std::u16string_view name);

}  // namespace marvok::ui::win32
