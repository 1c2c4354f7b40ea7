#pragma once

#include <filesystem>
#include <optional>

namespace marvok::ui::win32 {

// The system's file dialog for a picture (PNG, JPEG, BMP or GIF), owned by
// no window; nothing when the member cancels or it cannot show.
std::optional<std::filesystem::path> choose_picture_with_file_dialog();

}  // namespace marvok::ui::win32
