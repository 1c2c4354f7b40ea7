#include "app/client.h"

#include <random>

#include "app/deployment.h"
#include "app/device_failure.h"
#include "app/heartbeat_worker.h"
#include "app/inactivity_supervisor.h"
#include "app/supervisor_notice_actions.h"
#include "audio/audio_worker.h"
#include "audio/opus_playback.h"
#include "audio/render_worker.h"
#include "companion/companion_receiver.h"
#include "platform/audio_devices.h"
#include "platform/audio_endpoints.h"
#include "platform/https_session.h"
#include "platform/instance_lock.h"
#include "platform/master_volume.h"
#include "platform/startup_sound.h"
#include "platform/volume_serial.h"
#include "platform/worker_threads.h"
#include "relay/control_worker.h"
#include "relay/voice_receiver.h"
#include "relay/voice_sender.h"
#include "screen/main_drawings.h"
#include "screen/main_layout.h"
#include "state/machine_id.h"
#include "state/utf8.h"
#include "web/picture_decoding.h"

namespace marvok {

namespace {

constexpr char kInstanceLockName[] = "Marvok";
constexpr char kStartupSoundFile[] = "chimes.wav";

constexpr char16_t kAnotherInstanceText[] =
    u"Another instance of application Marvok\nis already running.\n"
    u"Une autre instance de l’application Marvok\nest déjà en cours d’exécution.\n";
constexpr char16_t kParamsNotFoundText[] =
    u"Aucun paramètre n'a été trouvé sur votre compte\nles paramètres par défaut seront utilisés.";
constexpr int kSmallPictureKind = 1;

constexpr char16_t kInactivityNotice[] =
    u"Le délais d'utilisation sans activité est terminé\nLe superviseur va maintenant fermer\n"
    u"automatiquement votre application\ndans 20 secondes";

}  // namespace

Client::Client(screen::FrontEnd& front_end, accessory::SerialAccess serial)
    : front_end_(front_end),
      web_(platform::WebServiceAddress{deployment::kWebHost, static_cast<std::uint16_t>(deployment::kWebPort),
                                       deployment::kWebCaFile},
           state_.lights.HttpsLed),
      account_(web_, state_,
               web::SpeakerDisplay{[this](const Picture& picture) {
                                     with_window([&](screen::MainWindowHost& window) {
                                       screen::show_speaker_picture(window.screen(), picture);
                                     });
                                   },
                                   [this](const web::SpeakerCard& card) {
                                     with_window([&](screen::MainWindowHost& window) {
                                       screen::show_speaker_card(window.screen(), background(), card);
                                     });
                                   }}),
      exchange_(web_),
      loop_(front_end.loop()),
      window_getter_([this] { return window_; }),
      serial_(std::move(serial)),
      posts_(front_end.loop().post_target()) {}

Client::~Client() { shut_down(); }

void Client::create_main_window() {
  window_owner_ = front_end_.create_main_window(state_, [this] {
    instance_.release();
    images_.channel.fill(Picture());
    window_ = nullptr;
    loop_.post_quit_message(kExitNormal);
  });
  window_ = window_owner_.get();
  window_->show_centred();
  window_->update_now();
}

void Client::wire_commands() {
  screen::MainWindowCommands commands;
  commands.toggle_network_window = [this] {
    if (tool_windows_) tool_windows_->toggle_network();
  };
  commands.toggle_params_window = [this] {
    if (tool_windows_) tool_windows_->toggle_params();
  };
  commands.toggle_group_window = [this] {
    if (tool_windows_) tool_windows_->toggle_group_list();
  };
  commands.toggle_picture_window = [this] {
    if (tool_windows_) tool_windows_->toggle_picture_exchange();
  };
  commands.open_documentation = [this] {
    front_end_.dialogs().open_web_page(std::string(deployment::kSiteUrl) + "/FR-Marvok.php");
  };
  commands.show_about_box = [this] { front_end_.dialogs().about_box(); };
  commands.toggle_companion = [this] { companion_.toggle(state_.display.StatusText); };
  commands.speak = [this](std::u16string_view text) { companion_.speak(text); };
  commands.set_master_level = [](platform::AudioEndpoint endpoint, float level) {
    platform::set_master_level(endpoint, level);
  };
  commands.show_inactive_key = [this] {
    front_end_.dialogs().message_box(screen::BoxOwner::MainWindow, u"Désolé.\nCette touche est inactive !",
                                     u"Info Clavier", screen::BoxIcon::None);
  };
  with_window([&](screen::MainWindowHost& window) { window.screen().set_commands(std::move(commands)); });
}

void Client::start_network_workers() {
  workers_->start([this](std::stop_token stop) { run_heartbeat_worker(stop, state_.lights.TcpLed); });
  workers_->start(
      [this](std::stop_token stop) { relay::run_presence_worker(stop, relay_, state_.identity, state_.channel); });
  workers_->start([this](std::stop_token stop) {
    LineRateLimit error_lines(kOpusErrorLinesPerPeriod, kOpusErrorLinePeriod);
    const OpusPlayback playback{speech_decoder_, decoded_speech_, level_meters_, error_lines};
    relay::VoiceReceiver receiver(
        state_, playback_queue_,
        [&playback](std::span<const std::uint8_t> packet) { return play_opus_packet(packet, playback); },
        ring_animation_);
    relay::run_voice_receiver(stop, relay_, receiver);
  });
  workers_->start([this](std::stop_token stop) {
    SupervisorNoticeActions notices(*posts_, front_end_.dialogs(), window_getter_, stop);
    relay::ControlWorker control(relay_, state_.channel, state_.lights.SvcLed, members_, notices);
    relay::run_control_worker(stop, relay_, control);
  });
  workers_->start([this](std::stop_token stop) { companion::run_companion_receiver(stop, companion_, state_.talk); });
}

void Client::start_audio_worker() {
  workers_->start([this](std::stop_token stop) {
    relay::VoiceSender sender(relay_, state_.identity, state_.channel, level_meters_, ring_animation_);
    AudioWorker worker(
        state_, playback_queue_, level_meters_,
        VoiceDevices{platform::open_output_device, platform::open_capture_device},
        [&sender](std::span<const std::uint8_t, kVoiceBlockBytes> block) { sender.send_voice_block(block); },
        [this, stop](VoiceDevice device, int code) {
          report_device_failure(*posts_, front_end_.dialogs(), loop_, device, code, stop);
        });
    worker.run(stop);
  });
}

void Client::start_render_worker() {
  workers_->start([this](std::stop_token stop) {
    run_render_worker(
        stop, [] { return platform::open_render_device(kRenderBufferMs); }, decoded_speech_);
  });
}

void Client::run_startup_fetches() {
  const web::OwnParamsOutcome outcome = account_.run_startup_fetches();
  if (outcome == web::OwnParamsOutcome::NotIdentified) {
    start_identification_retry();
  } else {
    show_own_parameters(outcome);
  }
}

// Without an identification the member would be "0" for the whole run: a
// worker asks again, off the window thread, until the service answers.
void Client::start_identification_retry() {
  workers_->start([this](std::stop_token stop) {
    web::RetryPauses pauses(web::kFirstIdentificationRetry, web::kLongestIdentificationRetry, std::random_device{}());
    if (const std::optional<web::OwnParamsOutcome> outcome = account_.retry_startup_fetches(stop, pauses)) {
      // Late, the outcome is shown only on a window still there.
      posts_->post([this, shown = *outcome] {
        if (window_) show_own_parameters(shown);
      });
    }
  });
}

void Client::show_own_parameters(web::OwnParamsOutcome outcome) {
  if (outcome == web::OwnParamsOutcome::Applied) {
    // The member's colour fills the whole window, not only what is drawn from now on.
    with_window([](screen::MainWindowHost& window) {
      window.screen().request_repaint(screen::Rect({0, 0}, screen::kMainWindowSize));
      window.update_now();
    });
    return;
  }
  if (outcome != web::OwnParamsOutcome::NotFound) return;
  // The window is given back as it was: a late outcome may come while
  // another box holds it.
  const bool enabled = window_ == nullptr || window_->enabled();
  with_window([](screen::MainWindowHost& window) { window.set_enabled(false); });
  front_end_.dialogs().message_box(window_ ? screen::BoxOwner::MainWindow : screen::BoxOwner::None, kParamsNotFoundText,
                                   u"Acquisition des paramètres", screen::BoxIcon::None);
  with_window([enabled](screen::MainWindowHost& window) { window.set_enabled(enabled); });
}

void Client::upload_shared_picture(int group_index) {
  screen::Dialogs& dialogs = front_end_.dialogs();
  exchange_.upload_shared_image(
      group_index, [&dialogs] { return dialogs.choose_picture_file(); },
      [&dialogs](const std::string& text) {
        dialogs.message_box(screen::BoxOwner::None, utf8_to_utf16(text), u"Avertissement", screen::BoxIcon::Warning);
      });
}

void Client::create_tool_windows() {
  if (!window_) return;
  tool_windows_ = front_end_.create_tool_windows(
      *window_,
      screen::ToolWindowSources{state_, members_, [this](std::uint16_t member) { return member_picture(member); },
                                [this](int group) { return exchange_.download_shared_picture(group); },
                                [this](int group) { upload_shared_picture(group); },
                                [this](std::uint32_t colour) { account_.post_parameters(colour); },
                                [this] { return account_.member_card(); }});
}

void Client::draw_accessory_icon(screen::Canvas& canvas) const {
  if (accessory_icon_) screen::draw_accessory_icon(canvas, accessory_icon_->picture());
}

std::optional<Picture> Client::member_picture(std::uint16_t member) {
  const web::LockedResponse response = web_.download_web_file(web::WebFolder::Users, member, kSmallPictureKind);
  if (response.result == 0) return std::nullopt;
  return web::png_to_bitmap(response.result, *response.buffer);
}

void Client::expire_after_inactivity() {
  with_window([](screen::MainWindowHost& window) { window.set_enabled(false); });
  front_end_.dialogs().notice(kInactivityNotice);
  with_window([](screen::MainWindowHost& window) {
    window.set_enabled(true);
    window.screen().close();
  });
}

int Client::run() {
  if (const std::optional<int> refused = claim_instance()) return *refused;
  prepare_session();
  open_main_window();
  load_panels();
  connect_to_the_network();
  start_timers_and_monitors();
  const int exit_code = loop_.run();
  shut_down();
  return exit_code;
}

std::optional<int> Client::claim_instance() {
  switch (instance_.acquire(kInstanceLockName)) {
    case platform::InstanceLock::Outcome::Failed: return kExitAlreadyRunning;
    case platform::InstanceLock::Outcome::HeldElsewhere:
      front_end_.dialogs().message_box(screen::BoxOwner::None, kAnotherInstanceText, u"Marvok System",
                                       screen::BoxIcon::Error);
      return kExitAlreadyRunning;
    case platform::InstanceLock::Outcome::Acquired: break;
  }
  return std::nullopt;
}

void Client::prepare_session() {
  platform::StartupSound chime;
  if (!chime.play_async(kStartupSoundFile)) {
    front_end_.dialogs().message_box(screen::BoxOwner::None, u"Échec de la lecture du son", u"Erreur",
                                     screen::BoxIcon::Error);
  }
  state_.display.BackgroundColor.store(0, std::memory_order_relaxed);
  platform::SystemVolumeSerial serial;
  state_.identity.MachineId = build_machine_id(serial);
}

void Client::open_main_window() {
  create_main_window();
  termination_watch_ = front_end_.loop().watch_termination_requests(
      [this] { with_window([](screen::MainWindowHost& window) { window.screen().close(); }); });

  if (const std::optional<float> level = platform::get_master_level(platform::AudioEndpoint::DefaultCapture)) {
    state_.devices.SavedMicLevel.store(*level, std::memory_order_relaxed);
    state_.devices.SavedMicLevelKnown.store(true, std::memory_order_relaxed);
  }
  state_.devices.reset_input_devices();
  speech_decoder_.create();

  state_.display.InfoLine.set(kWelcomeText);
  state_.display.CloseCrossShown.store(CrossVisibility::Shown, std::memory_order_relaxed);
  with_window([this](screen::MainWindowHost& window) { screen::draw_startup_marks(window.screen(), state_.display); });
  if (std::optional<screen::GifAnimation> animation = load_gif_animation(window_getter_, front_end_.dialogs())) {
    with_window([&](screen::MainWindowHost& window) {
      animation_ =
          std::make_unique<screen::GifAnimationPlayer>(window.screen(), front_end_.loop(), std::move(*animation));
      animation_->start(screen::PanelSchedule::kTick);
    });
  }
}

void Client::load_panels() {
  load_led_images(images_);
  state_.lights.reset();
  load_button_images(images_, window_getter_, front_end_.dialogs());
  load_icon_images(images_, window_getter_, front_end_.dialogs());
  with_window([this](screen::MainWindowHost& window) { window.create_level_meters(level_meters_); });
  load_channel_images(images_, window_getter_, front_end_.dialogs());
  state_.display.PanelsReady.store(true, std::memory_order_relaxed);
}

void Client::connect_to_the_network() {
  relay::relay_setup(relay_, platform::parse_ipv4(deployment::kRelayAddress).value_or(0), state_.lights);
  set_led(state_.lights.TcpLed, LedColor::Yellow);
  // The companion's socket exists before its receiver starts listening on it.
  companion_.open();
  create_tool_windows();
  wire_commands();
  workers_ = std::make_unique<WorkerThreads>();
  start_network_workers();
  accessory_icon_ = std::make_unique<accessory::AccessoryIcon>(web_, [this](const Picture&) {
    // Drawn by the window thread, which owns the window, from the kept picture.
    posts_->post([this] {
      with_window([this](screen::MainWindowHost& window) {
        window.screen().draw(screen::kAccessoryIconArea,
                             [this](screen::Canvas& canvas) { draw_accessory_icon(canvas); });
      });
    });
  });
  with_window([this](screen::MainWindowHost& window) {
    window.screen().set_frame_overlay([this](screen::Canvas& canvas) { draw_accessory_icon(canvas); });
  });
  accessory_icon_->show_accessory_state(accessory::AccessoryState::NoAccessory);
  // Its first picture belongs to the window's background, painted with the frame.
  with_window([](screen::MainWindowHost& window) { window.screen().request_repaint(screen::kAccessoryIconArea); });
  state_.display.ReceivedFormat.store(StreamFormat::None, std::memory_order_relaxed);
  start_audio_worker();
}

void Client::start_timers_and_monitors() {
  panels_ = std::make_unique<screen::PanelSchedule>(
      state_, images_, [this] { return window_ ? &window_->screen() : nullptr; }, front_end_.loop(),
      [this](platform::AudioEndpoint endpoint) { return level_reader_.read(endpoint); },
      [this] { account_.poll_speaker(); },
      [this] {
        with_window([](screen::MainWindowHost& window) { window.redraw_level_meters(); });
        if (animation_) animation_->tick();
      });
  panels_->start();
  run_startup_fetches();

  supervisor_ = std::make_unique<InactivitySupervisor>(
      front_end_.loop(), state_.SecondsLeft,
      InactivitySupervisor::Actions{[this](int left) {
                                      with_window([&](screen::MainWindowHost& window) {
                                        screen::show_countdown(window.screen(), left, background());
                                      });
                                    },
                                    [this] { expire_after_inactivity(); }});
  supervisor_->start();
  state_.display.ForceRefetch.store(false, std::memory_order_relaxed);
  companion_.greet();
  accessory_ = std::make_unique<accessory::AccessoryMonitor>(
      state_.talk, state_.SecondsLeft,
      [this](accessory::AccessoryState shown) { accessory_icon_->show_accessory_state(shown); }, serial_);
  accessory_->start();
  start_render_worker();
}

void Client::shut_down() {
  if (shut_down_) return;
  shut_down_ = true;
  companion_.quit();
  if (panels_) panels_->stop();
  if (animation_) animation_->stop();
  if (supervisor_) supervisor_->stop();
  if (accessory_) accessory_->stop();
  if (workers_) workers_->stop_all();
  speech_decoder_.destroy();
  if (state_.devices.SavedMicLevelKnown.load(std::memory_order_relaxed)) {
    platform::set_master_level(platform::AudioEndpoint::DefaultCapture,
                               state_.devices.SavedMicLevel.load(std::memory_order_relaxed));
  }
  termination_watch_.reset();
  tool_windows_.reset();
  animation_.reset();
  window_ = nullptr;
  window_owner_.reset();
}

}  // namespace marvok
