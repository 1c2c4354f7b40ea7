#include "app/client.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QScreen>
#include <random>

#include "app/deployment.h"
#include "app/device_failure.h"
#include "app/heartbeat_worker.h"
#include "app/inactivity_supervisor.h"
#include "app/supervisor_notice_actions.h"
#include "app/termination_requests.h"
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
#include "ui/about_box.h"
#include "ui/canvas_window.h"
#include "ui/colour_dialog.h"
#include "ui/custom_dialog.h"
#include "ui/default_input_device.h"
#include "ui/drawing_helpers.h"
#include "ui/file_dialog.h"
#include "ui/group_list_window.h"
#include "ui/input_device_window.h"
#include "ui/level_meters.h"
#include "ui/message_box.h"
#include "ui/network_window.h"
#include "ui/params_window.h"
#include "ui/picture_image.h"
#include "ui/web_pages.h"
#include "web/picture_decoding.h"

namespace marvok {

namespace {

constexpr char kInstanceLockName[] = "Marvok";
constexpr char kStartupSoundFile[] = "chimes.wav";

const QString kAnotherInstanceText = QStringLiteral(
    "Another instance of application Marvok\nis already running.\n"
    "Une autre instance de l’application Marvok\nest déjà en cours d’exécution.\n");
const QString kParamsNotFoundText =
    QStringLiteral("Aucun paramètre n'a été trouvé sur votre compte\nles paramètres par défaut seront utilisés.");
constexpr int kSmallPictureKind = 1;

const QString kInactivityNotice = QStringLiteral(
    "Le délais d'utilisation sans activité est terminé\nLe superviseur va maintenant fermer\n"
    "automatiquement votre application\ndans 20 secondes");

}  // namespace

Client::Client(accessory::SerialAccess serial)
    : web_(platform::WebServiceAddress{deployment::kWebHost, static_cast<std::uint16_t>(deployment::kWebPort),
                                       deployment::kWebCaFile},
           state_.lights.HttpsLed),
      account_(web_, state_,
               web::SpeakerDisplay{[this](const Picture& picture) {
                                     with_window([&](ui::MainWindow& window) {
                                       screen::show_speaker_picture(window.screen(), picture);
                                     });
                                   },
                                   [this](const web::SpeakerCard& card) {
                                     with_window([&](ui::MainWindow& window) {
                                       screen::show_speaker_card(window.screen(), background(), card);
                                     });
                                   }}),
      exchange_(web_),
      window_getter_([this] { return window_; }),
      serial_(std::move(serial)) {}

Client::~Client() { shut_down(); }

void Client::create_main_window() {
  window_owner_ = std::make_unique<ui::MainWindow>(state_);
  ui::MainWindow* window = window_owner_.get();
  window->setWindowIcon(QIcon::fromTheme(QStringLiteral("marvok"), QIcon(QStringLiteral("marvok.png"))));
  window->set_destroy_handler([this] {
    instance_.release();
    images_.channel.fill(Picture());
    window_ = nullptr;
    loop_.post_quit_message(kExitNormal);
  });
  window_ = window;

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window->move(screen->geometry().topLeft() +
                 ui::to_qpoint(screen::centred_top_left({screen->geometry().width(), screen->geometry().height()},
                                                        screen::kMainWindowSize)));
  window->show();
  window->update_now();
}

void Client::wire_commands() {
  screen::MainWindowCommands commands;
  commands.toggle_network_window = [this] {
    if (network_window_) network_window_->toggle();
  };
  commands.toggle_params_window = [this] {
    if (params_window_) params_window_->toggle();
  };
  commands.toggle_group_window = [this] {
    if (group_window_) group_window_->toggle();
  };
  commands.toggle_picture_window = [this] {
    if (canvas_window_) canvas_window_->toggle();
  };
  commands.open_documentation = [] { ui::open_web_page(std::string(deployment::kSiteUrl) + "/FR-Marvok.php"); };
  commands.show_about_box = [this] { ui::show_about_box(window_); };
  commands.toggle_companion = [this] { companion_.toggle(state_.display.StatusText); };
  commands.speak = [this](std::u16string_view text) { companion_.speak(text); };
  commands.set_master_level = [](platform::AudioEndpoint endpoint, float level) {
    platform::set_master_level(endpoint, level);
  };
  commands.show_inactive_key = [this] {
    ui::show_message_box(window_, QStringLiteral("Désolé.\nCette touche est inactive !"),
                         QStringLiteral("Info Clavier"), ui::BoxIcon::None);
  };
  with_window([&](ui::MainWindow& window) { window.screen().set_commands(std::move(commands)); });
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
    SupervisorNoticeActions notices(context_, window_getter_, stop);
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
        [this, stop](VoiceDevice device, int code) { report_device_failure(context_, loop_, device, code, stop); });
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
      QMetaObject::invokeMethod(
          &context_,
          [this, shown = *outcome] {
            if (window_) show_own_parameters(shown);
          },
          Qt::QueuedConnection);
    }
  });
}

void Client::show_own_parameters(web::OwnParamsOutcome outcome) {
  if (outcome == web::OwnParamsOutcome::Applied) {
    // The member's colour fills the whole window, not only what is drawn from now on.
    with_window([](ui::MainWindow& window) {
      window.screen().request_repaint(screen::Rect({0, 0}, screen::kMainWindowSize));
      window.update_now();
    });
    return;
  }
  if (outcome != web::OwnParamsOutcome::NotFound) return;
  // The window is given back as it was: a late outcome may come while
  // another box holds it.
  const bool enabled = window_ == nullptr || window_->isEnabled();
  with_window([](ui::MainWindow& window) { window.setEnabled(false); });
  ui::show_message_box(window_, kParamsNotFoundText, QStringLiteral("Acquisition des paramètres"), ui::BoxIcon::None);
  with_window([enabled](ui::MainWindow& window) { window.setEnabled(enabled); });
}

void Client::upload_shared_picture(int group_index) {
  exchange_.upload_shared_image(group_index, ui::choose_picture_file, [](const std::string& text) {
    ui::show_message_box(nullptr, QString::fromStdString(text), QStringLiteral("Avertissement"), ui::BoxIcon::Warning);
  });
}

void Client::create_tool_windows() {
  if (!window_) return;
  ui::MainWindow& window = *window_;
  input_device_window_ = std::make_unique<ui::InputDeviceWindowToggle>(window, state_.devices, [this] {
    if (params_window_) params_window_->repaint_content();
  });
  ui::ParamsServices services;
  services.describe_default_input = [](platform::DeviceDescription& description) {
    return ui::describe_default_input_device(description);
  };
  services.describe_capture_endpoint = platform::describe_capture_endpoint;
  services.describe_default_output = platform::describe_default_output_device;
  services.toggle_input_device_window = [this] {
    if (input_device_window_) input_device_window_->toggle();
  };
  services.post_parameters = [this](std::uint32_t colour) { account_.post_parameters(colour); };
  services.member_card = [this] { return account_.member_card(); };
  services.choose_colour = ui::choose_colour;
  // The new background shows once the frame and the panels over it are painted again.
  services.repaint_main = [this] {
    with_window([](ui::MainWindow& main) {
      main.screen().request_repaint(screen::Rect({0, 0}, screen::kMainWindowSize));
    });
  };
  params_window_ =
      std::make_unique<ui::ParamsWindowToggle>(window, state_.display, state_.devices, std::move(services));
  network_window_ = std::make_unique<ui::NetworkWindowToggle>(
      window, state_.channel, members_, [this](std::uint16_t member) { return member_picture(member); });
  canvas_window_ = std::make_unique<ui::CanvasWindowToggle>(
      window, state_.channel,
      ui::CanvasSource{[this](int group) { return ui::to_qimage(exchange_.download_shared_picture(group)); },
                       [this](int group) { upload_shared_picture(group); }});
  group_window_ = std::make_unique<ui::GroupListWindowToggle>(
      window, members_, [this](std::uint16_t member) { return member_picture(member); });
}

void Client::draw_accessory_icon(screen::Canvas& canvas) const {
  if (accessory_icon_) screen::draw_accessory_icon(canvas, accessory_icon_->picture());
}

std::optional<QImage> Client::member_picture(std::uint16_t member) {
  const web::LockedResponse response = web_.download_web_file(web::WebFolder::Users, member, kSmallPictureKind);
  if (response.result == 0) return std::nullopt;
  return ui::to_qimage(web::png_to_bitmap(response.result, *response.buffer));
}

void Client::expire_after_inactivity() {
  with_window([](ui::MainWindow& window) { window.setEnabled(false); });
  ui::show_custom_dialog(window_, kInactivityNotice);
  with_window([](ui::MainWindow& window) {
    window.setEnabled(true);
    window.destroy_window();
  });
}

int Client::run(QApplication& app) {
  if (const std::optional<int> refused = claim_instance()) return *refused;
  prepare_session();
  open_main_window();
  load_panels();
  connect_to_the_network();
  start_timers_and_monitors();
  const int exit_code = loop_.run(app);
  shut_down();
  return exit_code;
}

std::optional<int> Client::claim_instance() {
  switch (instance_.acquire(kInstanceLockName)) {
    case platform::InstanceLock::Outcome::Failed: return kExitAlreadyRunning;
    case platform::InstanceLock::Outcome::HeldElsewhere:
      ui::show_message_box(nullptr, kAnotherInstanceText, QStringLiteral("Marvok System"), ui::BoxIcon::Error);
      return kExitAlreadyRunning;
    case platform::InstanceLock::Outcome::Acquired: break;
  }
  return std::nullopt;
}

void Client::prepare_session() {
  platform::StartupSound chime;
  if (!chime.play_async(kStartupSoundFile)) {
    ui::show_message_box(nullptr, QStringLiteral("Échec de la lecture du son"), QStringLiteral("Erreur"),
                         ui::BoxIcon::Error);
  }
  state_.display.BackgroundColor.store(0, std::memory_order_relaxed);
  platform::SystemVolumeSerial serial;
  state_.identity.MachineId = build_machine_id(serial);
}

void Client::open_main_window() {
  create_main_window();
  on_termination_request(context_, [this] { with_window([](ui::MainWindow& window) { window.destroy_window(); }); });

  if (const std::optional<float> level = platform::get_master_level(platform::AudioEndpoint::DefaultCapture)) {
    state_.devices.SavedMicLevel.store(*level, std::memory_order_relaxed);
    state_.devices.SavedMicLevelKnown.store(true, std::memory_order_relaxed);
  }
  state_.devices.reset_input_devices();
  speech_decoder_.create();

  state_.display.InfoLine.set(kWelcomeText);
  state_.display.CloseCrossShown.store(CrossVisibility::Shown, std::memory_order_relaxed);
  with_window([this](ui::MainWindow& window) { screen::draw_startup_marks(window.screen(), state_.display); });
  if (std::optional<screen::GifAnimation> animation = load_gif_animation(window_getter_)) {
    with_window([&](ui::MainWindow& window) {
      animation_ = std::make_unique<screen::GifAnimationPlayer>(window.screen(), event_loop_, std::move(*animation));
      animation_->start(screen::PanelSchedule::kTick);
    });
  }
}

void Client::load_panels() {
  load_led_images(images_);
  state_.lights.reset();
  load_button_images(images_, window_getter_);
  load_icon_images(images_, window_getter_);
  with_window([this](ui::MainWindow& window) { meters_ = ui::create_level_meters(window, level_meters_); });
  load_channel_images(images_, window_getter_);
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
    QMetaObject::invokeMethod(
        &context_,
        [this] {
          with_window([this](ui::MainWindow& window) {
            window.screen().draw(screen::kAccessoryIconArea,
                                 [this](screen::Canvas& canvas) { draw_accessory_icon(canvas); });
          });
        },
        Qt::QueuedConnection);
  });
  with_window([this](ui::MainWindow& window) {
    window.screen().set_frame_overlay([this](screen::Canvas& canvas) { draw_accessory_icon(canvas); });
  });
  accessory_icon_->show_accessory_state(accessory::AccessoryState::NoAccessory);
  // Its first picture belongs to the window's background, painted with the frame.
  with_window([](ui::MainWindow& window) { window.screen().request_repaint(screen::kAccessoryIconArea); });
  state_.display.ReceivedFormat.store(StreamFormat::None, std::memory_order_relaxed);
  start_audio_worker();
}

void Client::start_timers_and_monitors() {
  panels_ = std::make_unique<screen::PanelSchedule>(
      state_, images_, [this] { return window_ ? &window_->screen() : nullptr; }, event_loop_,
      [this](platform::AudioEndpoint endpoint) { return level_reader_.read(endpoint); },
      [this] { account_.poll_speaker(); },
      [this] {
        ui::redraw_level_meters(meters_);
        if (animation_) animation_->tick();
      });
  panels_->start();
  run_startup_fetches();

  supervisor_ = std::make_unique<InactivitySupervisor>(
      state_.SecondsLeft, InactivitySupervisor::Actions{[this](int left) {
                                                          with_window([&](ui::MainWindow& window) {
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
  network_window_.reset();
  canvas_window_.reset();
  group_window_.reset();
  params_window_.reset();
  input_device_window_.reset();
  animation_.reset();
  window_ = nullptr;
  window_owner_.reset();
}

}  // namespace marvok
