#pragma once

#include <filesystem>
#include <optional>

namespace marvok::ui {

// Asks the member for a picture file (PNG, JPEG, BMP or GIF) with the
// desktop's file dialog, without owner. Nothing when the member cancels.
std::optional<std::filesystem::path> choose_picture_file();

}  // namespace marvok::ui
