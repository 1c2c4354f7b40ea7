#pragma once

#include <array>
#include <cstdint>
#include <optional>

class QWidget;

namespace marvok::ui {

// The picker's sixteen custom colours, 0x00BBGGRR, kept by the caller between pickings.
using CustomColours = std::array<std::uint32_t, 16>;

// Lets the member pick a colour with the desktop's colour dialog, starting
// from black, owned by `owner` (may be null). The custom colours are shown
// and whatever the member made of them is written back, confirmed or not.
// The chosen colour as 0x00BBGGRR, nothing when the member cancels.
std::optional<std::uint32_t> choose_colour(QWidget* owner, CustomColours& custom_colours);

}  // namespace marvok::ui
