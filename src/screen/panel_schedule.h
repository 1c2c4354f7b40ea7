#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/master_volume.h"
#include "screen/canvas.h"
#include "screen/event_loop.h"
#include "screen/main_images.h"
#include "state/session_state.h"

namespace marvok::screen {

class MainScreen;

// The main window's screen while it exists; nothing once it has been closed.
using MainScreenGetter = std::function<MainScreen*()>;

// The main-thread timers that redraw the main window's live panels, each on
// its own period, and the one that polls the web service for the speaker,
// driven by one clock whose tick divides every period. A panel whose pixels
// would not change is not drawn again, unless the window's frame was painted
// over it since.
class PanelSchedule {
 public:
  // Reads a master level of the sound server; nothing when it cannot be had.
  using LevelReader = std::function<std::optional<float>(platform::AudioEndpoint)>;

  // The clock's tick, which divides every period.
  static constexpr std::chrono::milliseconds kTick{50};

  // `poll_speaker` fetches and shows who speaks, every second; `on_tick`
  // runs at every tick first (the needle meters, the animation).
  PanelSchedule(SessionState& state, const MainWindowImages& images, MainScreenGetter window, EventLoop& loop,
                LevelReader read_level, std::function<void()> poll_speaker, std::function<void()> on_tick = {});
  ~PanelSchedule();

  // Starts the timers: each first runs one period from now. Within a tick
  // they run in order: CHANNEL panel, NETWORK ring, status panel, speaker
  // poll, help banner, status text, status lights.
  void start();
  // Kills every timer.
  void stop();
  // One tick of the clock: runs each timer whose period has come round.
  void tick();

  // What each timer does, callable on its own for tests.
  void redraw_channel_panel();
  void redraw_network_ring();
  void redraw_status_panel();
  void redraw_help_banner();
  void redraw_status_text();
  void redraw_status_lights();
  void poll_speaker();

 private:
  struct Drawn;
  struct TextDrawn;

  // A line of text drawn again when it or the frame under it changed.
  void redraw_text(TextDrawn& last, const std::u16string& text, const Rect& area,
                   void (*draw)(Canvas&, std::u16string_view, Colour));

  SessionState& state_;
  const MainWindowImages& images_;
  MainScreenGetter window_;
  EventLoop& loop_;
  LevelReader read_level_;
  std::function<void()> poll_speaker_;
  std::function<void()> on_tick_;
  std::unique_ptr<Drawn> drawn_;
  std::unique_ptr<Timer> clock_;
  std::uint64_t ticks_ = 0;
};

}  // namespace marvok::screen
