#include "app/startup.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPointer>
#include <QScreen>

#include "audio/audio_worker.h"
#include "audio/opus_playback.h"
#include "audio/playback_queue.h"
#include "audio/render_worker.h"
#include "app/deployment.h"
#include "app/device_failure.h"
#include "app/heartbeat_worker.h"
#include "state/machine_id.h"
#include "app/message_loop.h"
#include "state/session_state.h"
#include "app/startup_images.h"
#include "app/supervisor_notice_actions.h"
#include "platform/worker_threads.h"
#include "platform/audio_devices.h"
#include "platform/instance_lock.h"
#include "platform/master_volume.h"
#include "platform/message_box.h"
#include "platform/startup_sound.h"
#include "platform/termination_signals.h"
#include "platform/udp_socket.h"
#include "platform/volume_serial.h"
#include "relay/control_worker.h"
#include "relay/relay_session.h"
#include "relay/voice_receiver.h"
#include "relay/voice_sender.h"
#include "ui/level_meters.h"
#include "ui/main_images.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"
#include "ui/window_frame.h"

namespace marvok {

namespace {

constexpr char kInstanceLockName[] = "Marvok";
constexpr char kStartupSoundFile[] = "chimes.wav";

const QString kAnotherInstanceText = QStringLiteral(
    "Another instance of application Marvok\nis already running.\n"
    "Une autre instance de l’application Marvok\nest déjà en cours d’exécution.\n");

void build_machine_identity() {
  platform::SystemVolumeSerial serial;
  Session.identity.MachineId = build_machine_id(serial);
}

ui::MainWindow* create_main_window(platform::InstanceLock& instance) {
  auto* window = new ui::MainWindow();
  window->setWindowIcon(QIcon::fromTheme(QStringLiteral("marvok"), QIcon(QStringLiteral("marvok.png"))));
  window->set_destroy_handler([&instance] {
    instance.release();
    ui::MainImages.channel.fill(QImage());
    Session.display.MainWindow = nullptr;
    post_quit_message(kExitNormal);
  });
  Session.display.MainWindow = window;

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window->move(screen->geometry().topLeft() + ui::centred_top_left(screen->geometry().size(), window->size()));
  window->show();
  window->update_now();
  return window;
}

void remember_microphone_level() {
  if (const std::optional<float> level = platform::get_master_level(platform::AudioEndpoint::DefaultCapture)) {
    Session.devices.SavedMicLevel.store(*level, std::memory_order_relaxed);
    Session.devices.SavedMicLevelKnown.store(true, std::memory_order_relaxed);
  }
}

// Only a level that was actually read is written back: restoring the initial
// zero would silence the member's microphone.
void restore_microphone_level() {
  if (Session.devices.SavedMicLevelKnown.load(std::memory_order_relaxed))
    platform::set_master_level(platform::AudioEndpoint::DefaultCapture,
                               Session.devices.SavedMicLevel.load(std::memory_order_relaxed));
}

void draw_on_main_window(const QRect& area, const std::function<void(QPainter&)>& drawing) {
  if (ui::MainWindow* window = Session.display.MainWindow) window->draw(area, drawing);
}

void show_title_and_banner_text() {
  draw_on_main_window(ui::kTitleArea, ui::draw_title);
  Session.display.InfoLine.set(kWelcomeText);
  Session.display.CloseCrossShown.store(1, std::memory_order_relaxed);
  // Shown at once rather than at the next repaint, so the member can always see how to close.
  draw_on_main_window(ui::kCloseArea,
                      [](QPainter& painter) { ui::draw_close_cross(painter, ui::CrossHover::Outside); });
}

void frame_picture_area() {
  draw_on_main_window(ui::kPictureArea.adjusted(-1, -1, 1, 1), [](QPainter& painter) {
    painter.setPen(Qt::white);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(ui::kPictureArea.adjusted(0, 0, -1, -1));
  });
}

void start_network_workers(WorkerThreads& workers) {
  workers.start([](std::stop_token stop) { run_heartbeat_worker(stop, Session.lights.TcpLed); });
  workers.start([](std::stop_token stop) { relay::run_presence_worker(stop, relay::Relay); });
  workers.start([](std::stop_token stop) {
    relay::VoiceReceiver receiver(PlaybackQueue,
                                  [](std::span<const std::uint8_t> packet) { return play_opus_packet(packet); });
    relay::run_voice_receiver(stop, relay::Relay, receiver);
  });
  workers.start([](std::stop_token stop) {
    SupervisorNoticeActions notices(stop);
    relay::ControlWorker control(relay::Relay, relay::Members, notices);
    relay::run_control_worker(stop, relay::Relay, control);
  });
}

void start_audio_worker(WorkerThreads& workers) {
  workers.start([](std::stop_token stop) {
    AudioWorker worker(VoiceDevices{platform::open_output_device, platform::open_capture_device},
                       relay::send_voice_block,
                       [stop](VoiceDevice device, int code) { report_device_failure(device, code, stop); });
    worker.run(stop);
  });
}

void start_render_worker(WorkerThreads& workers) {
  workers.start([](std::stop_token stop) {
    // Without an output the decoded speech is simply not heard.
    if (const auto device = platform::open_render_device(kRenderBufferMs)) run_render_stage(stop, *device);
  });
}

}  // namespace

int run_client(QApplication& app) {
  platform::InstanceLock instance;
  switch (instance.acquire(kInstanceLockName)) {
    case platform::InstanceLock::Outcome::Failed: return kExitAlreadyRunning;
    case platform::InstanceLock::Outcome::HeldElsewhere:
      platform::show_message_box(nullptr, kAnotherInstanceText, QStringLiteral("Marvok System"),
                                 platform::BoxIcon::Error);
      return kExitAlreadyRunning;
    case platform::InstanceLock::Outcome::Acquired: break;
  }

  platform::StartupSound chime;
  if (!chime.play_async(kStartupSoundFile))
    platform::show_message_box(nullptr, QStringLiteral("Échec de la lecture du son"), QStringLiteral("Erreur"),
                               platform::BoxIcon::Error);

  Session.display.BackgroundColor.store(0, std::memory_order_relaxed);
  build_machine_identity();

  QPointer<ui::MainWindow> window = create_main_window(instance);
  platform::on_termination_request([] {
    if (ui::MainWindow* main = Session.display.MainWindow) main->destroy_window();
  });

  remember_microphone_level();
  Session.devices.reset_input_devices();
  Session.devices.SpeechDecoder.create();
  show_title_and_banner_text();
  frame_picture_area();

  load_led_images();
  Session.lights.reset();
  load_button_images();
  load_icon_images();
  if (ui::MainWindow* main = Session.display.MainWindow) ui::create_level_meters(*main);
  load_channel_images();
  Session.display.PanelsReady.store(true, std::memory_order_relaxed);

  relay::relay_setup(relay::Relay, platform::parse_ipv4(deployment::kRelayAddress).value_or(0));
  set_led(Session.lights.TcpLed, LedColor::Yellow);
  WorkerThreads workers;
  start_network_workers(workers);
  Session.display.ReceivedFormat.store(0, std::memory_order_relaxed);
  start_audio_worker(workers);

  Session.SecondsLeft.store(kCountdownSeconds, std::memory_order_relaxed);
  Session.display.ForceRefetch.store(false, std::memory_order_relaxed);
  start_render_worker(workers);

  const int exit_code = run_message_loop(app);

  Session.run.AudioRunning.store(0, std::memory_order_relaxed);
  workers.stop_all();
  Session.devices.SpeechDecoder.destroy();
  restore_microphone_level();
  delete window.data();
  return exit_code;
}

}  // namespace marvok
