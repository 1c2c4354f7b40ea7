#pragma once

#include <windows.h>

#include <string>

namespace marvok::ui::win32 {

// The about box's text, with this build's version.
std::wstring about_text();

// The about box (dialog MARVOK_ABOUT_DIALOG of `instance`), owned by `owner`;
// returns when OK or Escape closes it.
void show_about_dialog(HINSTANCE instance, HWND owner);

}  // namespace marvok::ui::win32
