// Start-up and shutdown of the whole client in this process, on the offscreen
// 1920 × 1080 screen, against the test sound server, with message boxes
// answered as a member would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <functional>
#include <thread>

#include "app/client.h"
#include "platform/instance_lock.h"
#include "platform/master_volume.h"
#include "platform/udp_socket.h"
#include "relay/datagrams.h"
#include "screen/main_images.h"
#include "state/session_state.h"
#include "support/box_watcher.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_front_end.h"

namespace marvok {
namespace {

using testing::SeenBox;

const QString kStopCaptionFile = QStringLiteral("Le programme va s'arrêter\ncar il manque le fichier\nREF: ");
const QString kStopCaptionOneFile = QStringLiteral("Le programme va s'arrêter\ncar il manque un fichier\nREF: ");

// A resources folder of its own as the current directory, and a runtime
// directory of its own for the instance lock.
class ClientRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid() && runtime_.isValid());
    const QDir shipped(QStringLiteral(MARVOK_RESOURCE_DIR));
    for (const QString& name : shipped.entryList(QDir::Files))
      ASSERT_TRUE(QFile::copy(shipped.filePath(name), folder_.filePath(name)));
    ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    ::setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
  }

  void remove(const QString& name) { ASSERT_TRUE(QFile::remove(folder_.filePath(name))); }

  // Runs the client; `while_running` is called once the message loop runs,
  // and the main window is then closed as the member would close it.
  int run(std::function<void()> while_running = [] {}) {
    QTimer::singleShot(300, &guard_, [this, while_running] {
      while_running();
      if (screen::MainWindowHost* window = client_.main_window()) window->screen().close();
    });
    return client_.run();
  }

  int run_until_the_client_ends() {
    // Should the notice never come, end the run rather than hang.
    QTimer::singleShot(15000, &guard_, [this] {
      if (screen::MainWindowHost* window = client_.main_window()) window->screen().close();
    });
    return client_.run();
  }

  ui::QtFrontEnd front_end_;
  Client client_{front_end_};
  // Timers of a test die with it.
  QObject guard_;
  testing::BoxWatcher boxes_;
  QTemporaryDir folder_;
  QTemporaryDir runtime_;
};

TEST_F(ClientRun, NormalRunShowsTheCentredWindowAndEndsWithZero) {
  QPoint position;
  QString title;
  bool lock_held = false;
  const int exit_code = run([&] {
    ui::MainWindow* window = client_.main_window() ? front_end_.main_window() : nullptr;
    ASSERT_NE(window, nullptr);
    position = window->pos();
    title = window->windowTitle();
    platform::InstanceLock probe;
    lock_held = probe.acquire("Marvok") == platform::InstanceLock::Outcome::HeldElsewhere;
  });

  EXPECT_EQ(exit_code, kExitNormal);
  EXPECT_TRUE(boxes_.seen().empty());
  EXPECT_EQ(position, QPoint(685, 175));
  EXPECT_EQ(title, "MARVOK");
  EXPECT_TRUE(lock_held);

  EXPECT_EQ(std::string(client_.state().identity.MachineId.data()).size(), 16u);
  EXPECT_EQ(client_.state().display.InfoLine.get(), kWelcomeText);
  EXPECT_EQ(client_.state().display.CloseCrossShown.load(), CrossVisibility::Shown);
  EXPECT_TRUE(client_.state().display.PanelsReady.load());
  EXPECT_EQ(client_.state().SecondsLeft.load(), kCountdownSeconds);
  EXPECT_EQ(client_.state().lights.TcpLed.load(), LedColor::Yellow);
  for (const Picture& light : client_.images().leds) EXPECT_FALSE(light.empty());

  // Shutdown released what start-up took.
  EXPECT_FALSE(client_.speech_decoder().exists());
  EXPECT_EQ(client_.main_window(), nullptr);
  platform::InstanceLock after;
  EXPECT_EQ(after.acquire("Marvok"), platform::InstanceLock::Outcome::Acquired);
}

TEST_F(ClientRun, SpeechDecoderExistsWhileTheClientRuns) {
  bool decoder_ready = false;
  run([&] { decoder_ready = client_.speech_decoder().exists(); });
  EXPECT_TRUE(decoder_ready);
}

TEST_F(ClientRun, MissingButtonPictureStopsTheClientAfterItsBox) {
  remove("btn-param.bmp");
  const int exit_code = run();
  EXPECT_EQ(exit_code, kExitNormal);
  EXPECT_EQ(client_.main_window(), nullptr);
  const std::vector<SeenBox> expected{{kStopCaptionFile, "btn-param.bmp"}};
  EXPECT_EQ(boxes_.seen(), expected);
  // The rest of start-up still ran.
  EXPECT_EQ(client_.state().SecondsLeft.load(), kCountdownSeconds);
}

TEST_F(ClientRun, MissingAnimationIsToldThenEndsTheClient) {
  remove("electron-animation.gif");
  EXPECT_EQ(run(), kExitNormal);
  const std::vector<SeenBox> expected{
      {QStringLiteral("Marvok System"), QStringLiteral("Il manque un fichier *.gif dans\nl’installation de Marvok\n"
                                                       "L’application Marvok va\nêtre stopper. Cliquez sur OK\n")}};
  EXPECT_EQ(boxes_.seen(), expected);
}

TEST_F(ClientRun, MissingIconsAreNamedByTheirReference) {
  remove("doc_img.bmp");
  remove("synthe_1.bmp");
  remove("btn-fleche.bmp");
  EXPECT_EQ(run(), kExitNormal);
  const std::vector<SeenBox> expected{
      {kStopCaptionFile, "btn-fleche.bmp"}, {kStopCaptionOneFile, "DOC-IMG"}, {kStopCaptionOneFile, "SYNTHE-IMG"}};
  EXPECT_EQ(boxes_.seen(), expected);
}

TEST_F(ClientRun, MissingChannelPictureGivesOneBox) {
  remove("5.bmp");
  EXPECT_EQ(run(), kExitNormal);
  const std::vector<SeenBox> expected{{kStopCaptionOneFile, "CHANNEL-NUM"}};
  EXPECT_EQ(boxes_.seen(), expected);
  for (const Picture& picture : client_.images().channel) EXPECT_TRUE(picture.empty());
}

TEST_F(ClientRun, EachMissingChannelPictureHasItsBox) {
  remove("0.bmp");
  remove("10.bmp");
  EXPECT_EQ(run(), kExitNormal);
  EXPECT_EQ(boxes_.seen().size(), 2u);
}

TEST_F(ClientRun, MissingLightFileLeavesTheLightsWithoutPictures) {
  remove("mini_leds.bmf");
  EXPECT_EQ(run(), kExitNormal);
  EXPECT_TRUE(boxes_.seen().empty());
  for (const Picture& light : client_.images().leds) EXPECT_TRUE(light.empty());
}

TEST_F(ClientRun, SecondInstanceIsToldAndEndsWithOne) {
  platform::InstanceLock first;
  ASSERT_EQ(first.acquire("Marvok"), platform::InstanceLock::Outcome::Acquired);
  EXPECT_EQ(client_.run(), kExitAlreadyRunning);
  const std::vector<SeenBox> expected{{"Marvok System",
                                       "Another instance of application Marvok\nis already running.\n"
                                       "Une autre instance de l’application Marvok\nest déjà en cours d’exécution.\n"}};
  EXPECT_EQ(boxes_.seen(), expected);
  EXPECT_EQ(client_.main_window(), nullptr);
  EXPECT_TRUE(first.held());
}

TEST_F(ClientRun, WithoutSoundServerTheChimeAndPlaybackFailuresAreShownAndTheClientEndsWithOne) {
  const char* current = std::getenv("PULSE_SERVER");
  const std::string server = current ? current : "";
  ::setenv("PULSE_SERVER", "unix:/nonexistent/pulse/native", 1);
  // The playback failure ends the client by itself; closing the window as
  // well could cut its second box short on a slow machine.
  const int exit_code = run_until_the_client_ends();
  ::setenv("PULSE_SERVER", server.c_str(), 1);
  EXPECT_EQ(exit_code, 1);
  ASSERT_EQ(boxes_.seen().size(), 3u);
  EXPECT_EQ(boxes_.seen()[0], (SeenBox{"Erreur", "Échec de la lecture du son"}));
  EXPECT_EQ(boxes_.seen()[1].caption, "Erreur Système Windows");
  EXPECT_TRUE(boxes_.seen()[1].text.startsWith("Windows semble avoir un problème système !\nCode d'erreur : "));
  EXPECT_NE(boxes_.seen()[1].text.back(), ' ');  // a code follows
  EXPECT_EQ(boxes_.seen()[2],
            (SeenBox{"Identification du problème",
                     "Erreur d'ouverture du périphérique de lecture.\nLe driver de lecture est défectueux ou "
                     "incompatible\nMarvok ne pourra pas fonctionner en mode écoute.\nLe programme va s'arrêté "
                     "automatiquement."}));
}

TEST_F(ClientRun, WithoutMicrophoneTheClientRunsUntilTheFirstTalkPress) {
  bool ran_normally = false;
  QTimer::singleShot(500, [&] {
    ran_normally = boxes_.seen().empty() && client_.main_window() != nullptr;
    client_.state().devices.SelectedInputDevice = 99;  // an input device that does not exist
    client_.state().talk.set_key(TalkValue::Pressed);
  });
  QTimer::singleShot(15000, &guard_, [this] {  // should the failure never come
    if (screen::MainWindowHost* window = client_.main_window()) window->screen().close();
  });
  const int exit_code = client_.run();
  client_.state().talk.set_key(TalkValue::Released);
  EXPECT_TRUE(ran_normally);
  EXPECT_EQ(exit_code, 1);
  ASSERT_EQ(boxes_.seen().size(), 2u);
  EXPECT_EQ(boxes_.seen()[0].caption, "Erreur Système Windows");
  EXPECT_EQ(boxes_.seen()[1],
            (SeenBox{"Identification du problème",
                     "Erreur d'ouverture du périphérique d'enregistrement.\nLe driver d'enregistrement est "
                     "défectueux ou incompatible\nMarvok ne pourra fonctionner qu'en mode écoute.\nLe programme va "
                     "s'arrêté automatiquement."}));
}

TEST_F(ClientRun, MissingChimeFileIsASoundFailure) {
  remove("chimes.wav");
  EXPECT_EQ(run(), kExitNormal);
  const std::vector<SeenBox> expected{{"Erreur", "Échec de la lecture du son"}};
  EXPECT_EQ(boxes_.seen(), expected);
}

TEST_F(ClientRun, TerminationRequestClosesTheClientInOrder) {
  QTimer::singleShot(300, [] { std::raise(SIGTERM); });
  EXPECT_EQ(client_.run(), kExitNormal);
  EXPECT_EQ(client_.main_window(), nullptr);
}

// Plays the relay's supervisor: answers the client's first list request with a notice.
class NoticeGivingRelay {
 public:
  explicit NoticeGivingRelay(std::uint8_t code)
      : socket_(platform::UdpSocket::open_bound({0x7F000001, relay::control_port_of(0)})),
        thread_([this, code](std::stop_token stop) { answer(stop, code); }) {}

 private:
  void answer(std::stop_token stop, std::uint8_t code) {
    relay::Buffer buffer{};
    while (!stop.stop_requested() && socket_) {
      if (socket_->wait_readable(std::chrono::milliseconds(50)) != platform::UdpSocket::Wait::Readable) continue;
      const auto received = socket_->receive(buffer);
      if (!received || buffer[0] != 'L') continue;
      socket_->send_to(std::span(buffer.data(), relay::write_notice(buffer, code)), received->from);
      return;
    }
  }

  std::optional<platform::UdpSocket> socket_;
  std::jthread thread_;
};

TEST_F(ClientRun, SupervisorClosingTheClientShowsItsNoticeThenEndsIt) {
  NoticeGivingRelay relay(relay::kNoticeSupervisorCloses);
  EXPECT_EQ(run_until_the_client_ends(), kExitNormal);
  const std::vector<SeenBox> expected{
      {"Info du Superviseur", "Le superviseur va fermer\nautomatiquement votre application\ndans 20 secondes"}};
  EXPECT_EQ(boxes_.seen(), expected);
}

TEST_F(ClientRun, VersionTooOldIsToldThenEndsTheClient) {
  NoticeGivingRelay relay(relay::kNoticeVersionTooOld);
  EXPECT_EQ(run_until_the_client_ends(), kExitNormal);
  const std::vector<SeenBox> expected{{"Info du Superviseur", "Votre application doit être mise à jour"}};
  EXPECT_EQ(boxes_.seen(), expected);
}

TEST_F(ClientRun, IdleClientIsClosedAfterTheSupervisorsNotice) {
  QTimer::singleShot(300, &guard_, [this] { client_.state().SecondsLeft = 1; });
  EXPECT_EQ(run_until_the_client_ends(), kExitNormal);
  const std::vector<SeenBox> expected{
      {"Info du Superviseur",
       "Le délais d'utilisation sans activité est terminé\nLe superviseur va maintenant fermer\n"
       "automatiquement votre application\ndans 20 secondes"}};
  EXPECT_EQ(boxes_.seen(), expected);
  EXPECT_EQ(client_.state().SecondsLeft.load(), 0);
}

TEST_F(ClientRun, MicrophoneLevelIsRestoredAtShutdown) {
  using platform::AudioEndpoint;
  const std::optional<float> before = platform::get_master_level(AudioEndpoint::DefaultCapture);
  ASSERT_TRUE(before);
  ASSERT_TRUE(platform::set_master_level(AudioEndpoint::DefaultCapture, 0.37f));
  run([] { platform::set_master_level(AudioEndpoint::DefaultCapture, 0.9f); });
  const std::optional<float> after = platform::get_master_level(AudioEndpoint::DefaultCapture);
  platform::set_master_level(AudioEndpoint::DefaultCapture, *before);  // leave the microphone as found
  EXPECT_NEAR(after.value_or(-1.0f), 0.37f, 0.001f);
}

}  // namespace
}  // namespace marvok
