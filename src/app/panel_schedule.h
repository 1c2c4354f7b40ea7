#pragma once

#include <QRect>
#include <QString>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/startup_images.h"
#include "platform/master_volume.h"
#include "state/session_state.h"
#include "ui/main_images.h"

class QPainter;

namespace marvok {

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
  PanelSchedule(SessionState& state, const ui::MainWindowImages& images, MainWindowGetter window,
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
  void redraw_text(TextDrawn& last, const std::u16string& text, const QRect& area,
                   void (*draw)(QPainter&, const QString&, std::uint32_t));

  SessionState& state_;
  const ui::MainWindowImages& images_;
  MainWindowGetter window_;
  LevelReader read_level_;
  std::function<void()> poll_speaker_;
  std::function<void()> on_tick_;
  std::unique_ptr<Drawn> drawn_;
  QTimer clock_;
  std::uint64_t ticks_ = 0;
};

}  // namespace marvok
