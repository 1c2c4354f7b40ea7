#pragma once

#include <functional>

#include "screen/front_end.h"
#include "ui/win32/main_window.h"
#include "ui/win32/win32_dialogs.h"
#include "ui/win32/win32_event_loop.h"

namespace marvok::ui::win32 {

// The client's windows, dialogs and event loop on Win32 and GDI. Make it on
// the thread that runs the windows.
class Win32FrontEnd final : public screen::FrontEnd {
 public:
  Win32FrontEnd();

  screen::EventLoop& loop() override { return loop_; }
  screen::Dialogs& dialogs() override { return dialogs_; }
  std::unique_ptr<screen::MainWindowHost> create_main_window(SessionState& state,
                                                             std::function<void()> on_destroy) override;
  std::unique_ptr<screen::ToolWindows> create_tool_windows(screen::MainWindowHost& main,
                                                           screen::ToolWindowSources sources) override;

  // What must be done before the process goes when the system's session
  // ends: the system may end the process as soon as the main window has
  // answered.
  void set_session_ending(std::function<void()> ending) { session_ending_ = std::move(ending); }

  // The last main window made, while it exists.
  HWND main_window() const;
  void forget_main_window(const MainWindow* window);

 private:
  Win32EventLoop loop_;
  Win32Dialogs dialogs_;
  MainWindow* main_window_ = nullptr;
  std::function<void()> session_ending_;
};

}  // namespace marvok::ui::win32
