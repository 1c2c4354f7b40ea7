#pragma once

#include <windows.h>

#include <functional>

#include "relay/member_table.h"
#include "screen/event_loop.h"
#include "screen/params_content.h"
#include "state/session_state.h"
#include "ui/win32/colour_dialog.h"
#include "ui/win32/tool_window.h"
#include "ui/win32/window_toggle.h"

namespace marvok::ui::win32 {

// Where a tool window comes from: the main window it is placed beside and
// owned by, and the event loop its growth pauses in.
struct ToolWindowBase {
  HWND main;
  screen::EventLoop& loop;
};

// Opens and closes the "Marvok Network" window, who is in the member's
// channel, from the main window's NETWORK button; never on channel 0.
class NetworkWindowToggle final : public WindowToggle<ToolWindow> {
 public:
  NetworkWindowToggle(ToolWindowBase base, const ChannelState& channel, const relay::MemberTable& members,
                      screen::MemberPictures pictures);
  // Returns once the window is grown. 0 only when it could not be created.
  int toggle();

 private:
  ToolWindowBase base_;
  const ChannelState& channel_;
  const relay::MemberTable& members_;
  screen::MemberPictures pictures_;
};

// Opens and closes the "Marvok Group List" window, who is in each of
// channels 1 to 10, and remembers which row comes next across openings.
class GroupListWindowToggle final : public WindowToggle<ToolWindow> {
 public:
  GroupListWindowToggle(ToolWindowBase base, const relay::MemberTable& members, screen::MemberPictures pictures);
  int toggle();

 private:
  ToolWindowBase base_;
  const relay::MemberTable& members_;
  screen::MemberPictures pictures_;
  int next_row_ = 1;
};

// Opens and closes the "Marvok Params" window: the devices, the member's
// card and the background colour, whose picker keeps its custom colours for
// the whole run.
class ParamsWindowToggle final : public WindowToggle<ToolWindow> {
 public:
  // `commands.choose_colour` is filled in here: the picker is owned by the window.
  ParamsWindowToggle(ToolWindowBase base, DisplayState& display, const DeviceState& devices,
                     screen::ParamsLookups lookups, screen::ParamsCommands commands);
  int toggle();
  // Redraws the open window's content, if any (after the member chose an input device).
  void repaint_content();

 private:
  ToolWindowBase base_;
  DisplayState& display_;
  const DeviceState& devices_;
  screen::ParamsLookups lookups_;
  screen::ParamsCommands commands_;
  CustomColours custom_colours_{};
};

}  // namespace marvok::ui::win32
