#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>

#include "audio/level_meter.h"
#include "screen/main_screen.h"
#include "state/session_state.h"
#include "ui/win32/dib_surface.h"
#include "ui/win32/needle_meter_window.h"

namespace marvok::ui::win32 {

// The main window: a rounded popup without a frame, which paints the
// screen's surface and hands the member's keys, clicks and pointer to it.
// Its top band is its title bar for the system, so it drags the window
// without a window manager's help.
class MainWindow {
 public:
  struct Handlers {
    // Once the window is destroyed, whoever destroyed it.
    std::function<void()> destroyed;
    // The system asks every program to end (log-off, shutdown).
    std::function<void()> end_requested;
    // The session ends now: what must be done before the process goes, done before returning.
    std::function<void()> session_ending;
  };

  MainWindow(SessionState& state, Handlers handlers);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND handle() const { return window_; }
  screen::MainScreen& screen() { return screen_; }
  void show_centred();
  void update_now();
  void create_level_meters(const LevelMeterState& meters);
  void redraw_level_meters();

  LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  void destroy();
  bool in_drag_band(LPARAM screen_point) const;
  screen::Point client_point(LPARAM screen_point) const;

  Handlers handlers_;
  DibSurface surface_;
  screen::MainScreen screen_;
  HWND window_ = nullptr;
  std::array<std::unique_ptr<NeedleMeterWindow>, 2> meters_;
};

}  // namespace marvok::ui::win32
