#pragma once

#include <windows.h>

#include "audio/level_meter.h"
#include "screen/level_meters.h"
#include "screen/main_screen.h"
#include "ui/win32/dib_surface.h"

namespace marvok::ui::win32 {

// One of the two needle meters, a child window of the main window with its
// own picture. It lets the pointer through, so the band above the panels
// drags the main window over it too.
class NeedleMeterWindow {
 public:
  NeedleMeterWindow(HWND main, screen::MainScreen& main_screen, screen::MeterSide side, const LevelMeterState& meters);
  ~NeedleMeterWindow();
  NeedleMeterWindow(const NeedleMeterWindow&) = delete;
  NeedleMeterWindow& operator=(const NeedleMeterWindow&) = delete;

  void redraw();
  HWND handle() const { return window_; }

  LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  screen::MainScreen& main_screen_;
  screen::NeedleMeterScreen meter_;
  DibSurface surface_;
  HWND window_ = nullptr;
};

}  // namespace marvok::ui::win32
