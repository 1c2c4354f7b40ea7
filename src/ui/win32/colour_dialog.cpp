#include "ui/win32/colour_dialog.h"

#include <commdlg.h>

namespace marvok::ui::win32 {

std::optional<std::uint32_t> choose_colour(HWND owner, CustomColours& custom_colours) {
  CHOOSECOLORW choice{};
  choice.lStructSize = sizeof choice;
  choice.hwndOwner = owner;
  choice.rgbResult = RGB(0, 0, 0);
  choice.lpCustColors = custom_colours.data();
  choice.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (ChooseColorW(&choice) == FALSE) return std::nullopt;
  return static_cast<std::uint32_t>(choice.rgbResult);
}

}  // namespace marvok::ui::win32
