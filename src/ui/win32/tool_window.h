#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "screen/event_loop.h"
#include "screen/tool_window.h"
#include "ui/win32/dib_surface.h"

namespace marvok::ui::win32 {

// The main window's outer rectangle on the screen, which tool windows are placed from.
screen::Rect frame_of(HWND window);

// Gives the keyboard back to the main window once a tool window has opened.
void activate(HWND window);

// A tool window owned by the main window, whose content is the screen's: the
// window keeps the surface the content draws on, copies it out when it
// paints, runs the content's timer and hands its clicks over. The object
// outlives its window: it is kept by whoever may still be using it (its
// toggle, a growth, a click being handled), and learns when the window goes.
class ToolWindow final : public screen::ToolWindowHost, public std::enable_shared_from_this<ToolWindow> {
 public:
  using MakeScreen = std::function<std::unique_ptr<screen::ToolScreen>(ToolWindow& window, screen::Surface& surface)>;

  // Made small and hidden at `position`; no window when the system could not make one.
  static std::shared_ptr<ToolWindow> create(HWND main, const screen::ToolWindowLook& look, screen::Point position,
                                            const MakeScreen& make_screen);
  ~ToolWindow();
  ToolWindow(const ToolWindow&) = delete;
  ToolWindow& operator=(const ToolWindow&) = delete;

  HWND handle() const { return window_; }
  // True from the moment the window is asked to close, and once it is gone.
  bool closing() const { return closing_ || window_ == nullptr; }
  screen::ToolScreen& content() { return *screen_; }

  // Ends the opening: the content is drawn and its timer runs.
  void start();

  screen::Size outer_size() const override;
  void repaint_now() override;
  void close_window() override;

  LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  ToolWindow(const screen::ToolWindowLook& look);

  screen::ToolWindowLook look_;
  DibSurface surface_;
  std::unique_ptr<screen::ToolScreen> screen_;
  HWND window_ = nullptr;
  bool ready_ = false;
  bool closing_ = false;
};

// Shows the window without taking the keyboard, grows it and starts it.
// False when it went or began closing meanwhile. The outer size follows each
// step, frame included, as the system places windows.
bool show_grown(const std::shared_ptr<ToolWindow>& window, const screen::Growth& growth, screen::GrowthPauses pauses,
                screen::EventLoop& loop);

}  // namespace marvok::ui::win32
