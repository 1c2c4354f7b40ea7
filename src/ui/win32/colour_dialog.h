#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>

namespace marvok::ui::win32 {

// The picker's sixteen custom colours, kept by the caller between pickings.
using CustomColours = std::array<COLORREF, 16>;

// Lets the member pick a colour with the system's colour dialog, fully open,
// starting from black, owned by `owner`. Whatever the member made of the
// custom colours is kept, confirmed or not. The chosen colour as
// 0x00BBGGRR, nothing when the member cancels or the owner goes meanwhile.
std::optional<std::uint32_t> choose_colour(HWND owner, CustomColours& custom_colours);

}  // namespace marvok::ui::win32
