#include "ui/win32/win32_dialogs.h"

#include <shellapi.h>

#include <string>

#include "platform/windows/wide_text.h"
#include "ui/win32/about_dialog.h"
#include "ui/win32/picture_file_dialog.h"

namespace marvok::ui::win32 {

namespace {

UINT icon_flag(screen::BoxIcon icon) {
  switch (icon) {
    case screen::BoxIcon::Error: return MB_ICONERROR;
    case screen::BoxIcon::Question: return MB_ICONQUESTION;
    case screen::BoxIcon::Warning: return MB_ICONWARNING;
    case screen::BoxIcon::Information: return MB_ICONINFORMATION;
    case screen::BoxIcon::None: break;
  }
  return 0;
}

std::wstring wide(std::u16string_view text) { return {text.begin(), text.end()}; }

}  // namespace

// A box of no window may come up behind another program's: bring it forward.
UINT message_box_flags(screen::BoxIcon icon, bool owned) {
  return MB_OK | icon_flag(icon) | (owned ? 0U : static_cast<UINT>(MB_SETFOREGROUND));
}

void Win32Dialogs::message_box(screen::BoxOwner owner, std::u16string_view text, std::u16string_view caption,
                               screen::BoxIcon icon) {
  HWND owner_window = owner == screen::BoxOwner::MainWindow ? main_window_() : nullptr;
  MessageBoxW(owner_window, wide(text).c_str(), wide(caption).c_str(),
              message_box_flags(icon, owner_window != nullptr));
}

void Win32Dialogs::notice(std::u16string_view text) {
  show_notice_window(instance_, main_window_(), text, notice_lifetime_);
}

void Win32Dialogs::about_box() { show_about_dialog(instance_, main_window_()); }

bool Win32Dialogs::open_web_page(const std::string& url) {
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", platform::to_wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  // Above 32 is success; below, an error code in a handle's clothes.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

std::optional<std::filesystem::path> Win32Dialogs::choose_picture_file() { return choose_picture_with_file_dialog(); }

}  // namespace marvok::ui::win32
