#pragma once

#include <memory>

#include "accessory/accessory_icon.h"
#include "accessory/accessory_monitor.h"
#include "app/message_loop.h"
#include "app/startup_images.h"
#include "audio/level_meter.h"
#include "audio/playback_queue.h"
#include "audio/render_ring.h"
#include "audio/speech_decoder.h"
#include "companion/companion_link.h"
#include "platform/instance_lock.h"
#include "relay/member_table.h"
#include "relay/relay_session.h"
#include "screen/front_end.h"
#include "screen/gif_player.h"
#include "screen/main_images.h"
#include "screen/network_ring_animation.h"
#include "screen/panel_schedule.h"
#include "state/session_state.h"
#include "web/account.h"
#include "web/shared_picture_exchange.h"
#include "web/web_client.h"

namespace marvok {

class InactivitySupervisor;
class WorkerThreads;

// Exit codes of the client.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitAlreadyRunning = 1;

// The whole client: its state and every component, windows, timers and
// threads, composed with a front end. `main` builds one; tests build a fresh
// one for each run.
class Client {
 public:
  // `serial` is where the accessory is looked for: the system's serial ports
  // unless a test gives pseudo-terminals.
  explicit Client(screen::FrontEnd& front_end, accessory::SerialAccess serial = {});
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // Starts the client, runs its message loop until the main window is
  // destroyed and shuts it down. Returns the process exit code. Runs once.
  int run();
  // Stops what runs and closes the windows, once: after the message loop,
  // when the client goes without having run to the end, or at once when the
  // system's session ends and the process may go any moment.
  void shut_down();

  SessionState& state() { return state_; }
  const screen::MainWindowImages& images() const { return images_; }
  // The main window while it exists.
  screen::MainWindowHost* main_window() const { return window_; }
  const relay::MemberTable& members() const { return members_; }
  const OpusSpeechDecoder& speech_decoder() const { return speech_decoder_; }
  const web::Account& account() const { return account_; }

 private:
  // Start-up, step by step in the order the client starts. Nothing when
  // the client may run; otherwise the exit code.
  std::optional<int> claim_instance();
  void prepare_session();
  void open_main_window();
  void load_panels();
  void connect_to_the_network();
  void start_timers_and_monitors();

  // The main window, when it still exists: a missing file or the member can
  // destroy it at any step.
  template <typename Use>
  void with_window(Use&& use) {
    if (window_) use(*window_);
  }

  void create_main_window();
  void wire_commands();
  void start_network_workers();
  void start_audio_worker();
  void start_render_worker();
  void expire_after_inactivity();
  void run_startup_fetches();
  void start_identification_retry();
  void show_own_parameters(web::OwnParamsOutcome outcome);
  std::optional<Picture> member_picture(std::uint16_t member);
  void upload_shared_picture(int group_index);
  void create_tool_windows();
  void draw_accessory_icon(screen::Canvas& canvas) const;
  screen::Colour background() const {
    return screen::Colour::from_colorref(state_.display.BackgroundColor.load(std::memory_order_relaxed));
  }

  screen::FrontEnd& front_end_;
  platform::InstanceLock instance_;
  SessionState state_;
  VoiceBlockQueue playback_queue_;
  RenderRing decoded_speech_;
  LevelMeterState level_meters_;
  OpusSpeechDecoder speech_decoder_;
  relay::RelaySession relay_;
  relay::MemberTable members_;
  web::WebClient web_;
  web::Account account_;
  web::SharedPictureExchange exchange_;
  screen::MainWindowImages images_;
  MessageLoop loop_;
  companion::CompanionLink companion_;
  platform::MasterLevelReader level_reader_;
  std::unique_ptr<screen::MainWindowHost> window_owner_;
  // The main window until it is destroyed; deleted only once nothing runs under it.
  screen::MainWindowHost* window_ = nullptr;
  MainWindowGetter window_getter_;
  screen::NetworkRingAnimation ring_animation_{state_.lights, state_.talk};
  std::unique_ptr<screen::PanelSchedule> panels_;
  std::unique_ptr<InactivitySupervisor> supervisor_;
  std::unique_ptr<screen::ToolWindows> tool_windows_;
  std::unique_ptr<screen::GifAnimationPlayer> animation_;
  std::unique_ptr<WorkerThreads> workers_;
  std::unique_ptr<accessory::AccessoryIcon> accessory_icon_;
  accessory::SerialAccess serial_;
  std::unique_ptr<accessory::AccessoryMonitor> accessory_;
  std::unique_ptr<screen::LoopTask> termination_watch_;
  bool shut_down_ = false;
  // Calls queued for the main thread die with it; declared last, so it goes first.
  std::unique_ptr<screen::PostTarget> posts_;
};

}  // namespace marvok
