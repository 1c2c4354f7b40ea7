#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "audio/level_meter.h"
#include "relay/member_table.h"
#include "screen/dialogs.h"
#include "screen/event_loop.h"
#include "screen/main_screen.h"
#include "state/picture.h"
#include "state/session_state.h"
#include "web/member_card.h"

namespace marvok::screen {

// The main window a front end made: the screen it shows, and what only the
// window system can do with it.
class MainWindowHost {
 public:
  virtual ~MainWindowHost() = default;
  virtual MainScreen& screen() = 0;
  // Shows the window centred on the screen, with the program's icon.
  virtual void show_centred() = 0;
  // A disabled window takes no key or click (a box of its own is up).
  virtual void set_enabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
  // Paints what was asked for now, without waiting for the event loop.
  virtual void update_now() = 0;
  // The two needle meters on the window, each with its own picture; their
  // step, at each tick of the panels' clock, draws the needles and the bars.
  virtual void create_level_meters(const LevelMeterState& meters) = 0;
  virtual void redraw_level_meters() = 0;
};

// What the tool windows show and do, from the client's subsystems.
struct ToolWindowSources {
  SessionState& state;
  const relay::MemberTable& members;
  // A member's small picture: nothing when none came, an empty one when it does not decode.
  std::function<std::optional<Picture>(std::uint16_t member)> member_picture;
  std::function<std::optional<Picture>(int group)> download_shared_picture;
  std::function<void(int group)> upload_shared_picture;
  std::function<void(std::uint32_t colorref)> post_parameters;
  std::function<web::MemberCard()> member_card;
};

// The network, group list, parameters and picture exchange windows, each
// opened by its click on the main window and closed by the next.
class ToolWindows {
 public:
  virtual ~ToolWindows() = default;
  virtual void toggle_network() = 0;
  virtual void toggle_group_list() = 0;
  virtual void toggle_params() = 0;
  virtual void toggle_picture_exchange() = 0;
};

// A toolkit's windows, dialogs and event loop, which the client composes
// itself with.
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  virtual EventLoop& loop() = 0;
  virtual Dialogs& dialogs() = 0;
  // `on_destroy` runs once the window is destroyed, by the client or by the member.
  virtual std::unique_ptr<MainWindowHost> create_main_window(SessionState& state, std::function<void()> on_destroy) = 0;
  virtual std::unique_ptr<ToolWindows> create_tool_windows(MainWindowHost& main, ToolWindowSources sources) = 0;
};

}  // namespace marvok::screen
