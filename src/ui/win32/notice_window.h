#pragma once

#include <windows.h>

#include <chrono>
#include <string_view>

namespace marvok::ui::win32 {

inline constexpr std::chrono::milliseconds kNoticeLifetime{10000};

// Shows the supervisor's notice in its "Info du Superviseur" window, owned
// by `main_window` (or by none) beside it, and returns once the window is
// gone: after `lifetime`, closed by the member, with its owner, or when the
// thread is asked to quit. The thread's other windows and timers go on.
void show_notice_window(HINSTANCE instance, HWND main_window, std::u16string_view text,
                        std::chrono::milliseconds lifetime = kNoticeLifetime);

}  // namespace marvok::ui::win32
