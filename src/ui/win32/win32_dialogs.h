#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <utility>

#include "screen/dialogs.h"
#include "ui/win32/notice_window.h"

namespace marvok::ui::win32 {

// The screen's boxes and dialogs as the system's, on the window thread.
// `main_window` gives the main window, or nullptr while there is none;
// `instance` holds the about box's dialog.
class Win32Dialogs final : public screen::Dialogs {
 public:
  Win32Dialogs(std::function<HWND()> main_window, HINSTANCE instance,
               std::chrono::milliseconds notice_lifetime = kNoticeLifetime)
      : main_window_(std::move(main_window)), instance_(instance), notice_lifetime_(notice_lifetime) {}

  void message_box(screen::BoxOwner owner, std::u16string_view text, std::u16string_view caption,
                   screen::BoxIcon icon) override;
  void notice(std::u16string_view text) override;
  void about_box() override;
  bool open_web_page(const std::string& url) override;
  std::optional<std::filesystem::path> choose_picture_file() override;

 private:
  std::function<HWND()> main_window_;
  HINSTANCE instance_;
  std::chrono::milliseconds notice_lifetime_;
};

// MessageBoxW's flags for a box with OK and `icon`, owned or not.
UINT message_box_flags(screen::BoxIcon icon, bool owned);

}  // namespace marvok::ui::win32
