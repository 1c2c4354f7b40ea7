// The whole client in this process against the real web service, run as its
// own process on the port and with the authority the client was built for.
// Runs in a private network, so the port is free.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/client.h"
#include "app/deployment.h"
#include "platform/udp_socket.h"
#include "platform/volume_serial.h"
#include "relay/channels.h"
#include "state/machine_id.h"
#include "support/box_watcher.h"
#include "support/pseudo_terminal.h"
#include "support/sound_probe.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_front_end.h"

namespace marvok {
namespace {

using testing::SeenBox;

void run_events_for(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

class ClientWithWebService : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string_view(deployment::kWebCaFile).empty()) GTEST_SKIP() << "built to trust the system store";
    ASSERT_TRUE(resources_.isValid() && runtime_.isValid() && data_.isValid());
    const QDir shipped(QStringLiteral(MARVOK_RESOURCE_DIR));
    for (const QString& name : shipped.entryList(QDir::Files))
      ASSERT_TRUE(QFile::copy(shipped.filePath(name), resources_.filePath(name)));
    ASSERT_TRUE(QDir::setCurrent(resources_.path()));
    ::setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);

    certificates_ = QString::fromStdString(std::filesystem::path(deployment::kWebCaFile).parent_path().string());
    ASSERT_EQ(QProcess::execute(QStringLiteral(MARVOK_CERTIFICATE_SCRIPT), {certificates_}), 0);
    platform::SystemVolumeSerial serial;
    machine_id_ = QString::fromLatin1(build_machine_id(serial).data());

    QImage picture(60, 80, QImage::Format_RGB32);
    picture.fill(QColor(0, 200, 0));
    ASSERT_TRUE(picture.save(data_.filePath("picture.png")));
  }

  void TearDown() override {
    if (service_.state() != QProcess::NotRunning) {
      service_.terminate();
      service_.waitForFinished(5000);
    }
  }

  int web(QStringList arguments) {
    arguments << QStringLiteral("--database") << data_.filePath(QStringLiteral("members.sqlite"));
    return QProcess::execute(QStringLiteral(MARVOK_WEB_EXECUTABLE), arguments);
  }

  void start_service() {
    service_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service_.start(QStringLiteral(MARVOK_WEB_EXECUTABLE),
                   {"serve", "--database", data_.filePath("members.sqlite"), "--certificate",
                    certificates_ + "/server.pem", "--key", certificates_ + "/server.key", "--address", "127.0.0.1",
                    "--port", QString::number(deployment::kWebPort)});
    ASSERT_TRUE(service_.waitForReadyRead(10000)) << "marvok-web did not say it serves";
  }

  int run(std::function<void()> while_running) {
    QTimer::singleShot(300, &guard_, [this, while_running] {
      while_running();
      if (screen::MainWindowHost* window = client_.main_window()) window->screen().close();
    });
    return client_.run();
  }

  QTemporaryDir resources_, runtime_, data_;
  QString certificates_;
  QString machine_id_;
  QProcess service_;
  // The serial ports the client finds: none unless a test plugs an accessory in.
  std::vector<platform::SerialPortEntry> serial_ports_;
  testing::PseudoTerminal accessory_;
  ui::QtFrontEnd front_end_;
  Client client_{front_end_, accessory::SerialAccess{[this] { return std::optional(serial_ports_); },
                                                     accessory::open_accessory_port}};
  QObject guard_;
  testing::BoxWatcher boxes_;
};

TEST_F(ClientWithWebService, IdentifiesTheMemberAndShowsWhoSpeaks) {
  ASSERT_EQ(web({"member", "set", "7", "--machine", machine_id_, "--name", "André", "--first-name", "Ana", "--city",
                 "Lyon", "--phrase", "Salut", "--picture", data_.filePath("picture.png"), "--background", "0080ff"}),
            0);
  start_service();
  QImage surface;
  EXPECT_EQ(run([&] {
              client_.state().channel.SpeakerId = 7;
              run_events_for(2500);
              surface = front_end_.main_window()->surface();
            }),
            kExitNormal);
  EXPECT_TRUE(boxes_.seen().empty());
  EXPECT_EQ(client_.state().identity.MemberId.load(), 7);
  EXPECT_EQ(client_.state().display.StatusText.get(), u"Bonjour André.  Sois le bienvenu sur notre réseau !");
  EXPECT_EQ(std::string(client_.account().member_card().first_name.data()), "Ana");
  EXPECT_EQ(client_.state().display.BackgroundColor.load(), 0xFF8000u);

  // The speaker's large picture at (10, 340), framed in red; the card's line over the background colour.
  ASSERT_FALSE(surface.isNull());
  EXPECT_EQ(surface.pixelColor(10, 340), QColor(255, 0, 0));
  EXPECT_EQ(surface.pixelColor(40, 400), QColor(0, 200, 0));
  EXPECT_EQ(surface.pixelColor(305, 336), QColor(0, 128, 255));
  // The member's colour fills the whole window, not only the panels drawn after it came.
  EXPECT_EQ(surface.pixelColor(200, 450), QColor(0, 128, 255));
}

TEST_F(ClientWithWebService, AnAccountWithoutParametersIsToldOnce) {
  ASSERT_EQ(web({"member", "set", "7", "--machine", machine_id_, "--background", "none"}), 0);
  start_service();
  EXPECT_EQ(run([] {}), kExitNormal);
  const std::vector<SeenBox> expected = {
      {QStringLiteral("Acquisition des paramètres"),
       QStringLiteral("Aucun paramètre n'a été trouvé sur votre compte\nles paramètres par défaut seront utilisés.")}};
  EXPECT_EQ(boxes_.seen(), expected);
  EXPECT_EQ(client_.state().identity.MemberId.load(), 7);
  EXPECT_EQ(client_.state().display.BackgroundColor.load(), 0u);
}

TEST_F(ClientWithWebService, TheAccessoryKeysTheTransmitterUntilItIsPulledOut) {
  ASSERT_EQ(web({"member", "set", "7", "--machine", machine_id_}), 0);
  start_service();
  serial_ports_ = {{"USB\\VID_0403&PID_6001", accessory_.port_name()}};
  // The button is held: every probe comes straight back, until the adapter is pulled out.
  std::atomic<bool> pull{false};
  std::jthread button([&](std::stop_token stop) {
    std::array<char, 64> bytes{};
    while (!stop.stop_requested()) {
      if (pull) {
        accessory_.unplug();
        return;
      }
      pollfd readable{accessory_.far_end(), POLLIN, 0};
      if (::poll(&readable, 1, 20) <= 0) continue;
      const ssize_t count = ::read(accessory_.far_end(), bytes.data(), bytes.size());
      if (count > 0 && ::write(accessory_.far_end(), bytes.data(), static_cast<std::size_t>(count)) < 0) return;
    }
  });
  const auto wait_until = [](const std::function<bool()>& done) {
    for (int step = 0; step < 100 && !done(); ++step) run_events_for(50);
    return done();
  };
  // The tread of the accessory's icon, at (314, 500) in the window.
  const auto icon_colour = [this] { return front_end_.main_window()->surface().pixelColor(328, 511); };
  bool keyed = false, released = false;
  QColor held_icon, pulled_icon;
  EXPECT_EQ(run([&] {
              keyed = wait_until([&] { return client_.state().talk.is_talking(); });
              client_.state().SecondsLeft = 100;
              EXPECT_TRUE(wait_until([&] { return client_.state().SecondsLeft.load() == kCountdownSeconds; }));
              EXPECT_TRUE(wait_until([&] { return icon_colour() == QColor(210, 30, 30); }));
              held_icon = icon_colour();
              pull = true;
              released = wait_until([&] { return !client_.state().talk.is_talking(); });
              EXPECT_TRUE(wait_until([&] { return icon_colour() == QColor(20, 20, 20); }));
              pulled_icon = icon_colour();
            }),
            kExitNormal);
  EXPECT_TRUE(keyed);
  EXPECT_TRUE(released) << "pulling the adapter out while held releases the transmitter";
  EXPECT_EQ(held_icon, QColor(210, 30, 30));
  EXPECT_EQ(pulled_icon, QColor(20, 20, 20));
}

// The whole local network: the client in this process, the web service, the
// relay and the demo member as processes, and a scripted speech companion.
class ClientOnLocalNetwork : public ClientWithWebService {
 protected:
  static constexpr int kDemoMember = 9;
  static constexpr int kOwnMember = 7;

  void SetUp() override {
    ClientWithWebService::SetUp();
    if (IsSkipped()) return;
    QImage picture(60, 80, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 220));
    ASSERT_TRUE(picture.save(data_.filePath("demo.png")));
    ASSERT_EQ(web({"member", "set", QString::number(kOwnMember), "--machine", machine_id_, "--name", "André"}), 0);
    ASSERT_EQ(web({"member", "set", QString::number(kDemoMember), "--machine", "7000000000000007", "--name", "Démo",
                   "--picture", data_.filePath("demo.png")}),
              0);
    start_service();
    relay_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    relay_.start(QStringLiteral(MARVOK_RELAY_EXECUTABLE), {"--address", "127.0.0.1"});
    ASSERT_TRUE(relay_.waitForStarted(5000));
    std::optional<platform::UdpSocket> companion = platform::UdpSocket::open_bound({0x7F000001, 5555});
    ASSERT_TRUE(companion) << "the scripted companion's port";
    companion_ = std::move(*companion);
  }

  void TearDown() override {
    for (QProcess* process : {&demo_, &relay_}) {
      if (process->state() == QProcess::NotRunning) continue;
      process->terminate();
      process->waitForFinished(5000);
    }
    ClientWithWebService::TearDown();
  }

  void start_demo(QStringList arguments) {
    arguments << "--machine"
              << "7000000000000007";
    demo_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    demo_.start(QStringLiteral(MARVOK_DEMO_EXECUTABLE), arguments);
    ASSERT_TRUE(demo_.waitForStarted(5000));
  }

  // What the demo member printed so far, read on the window thread.
  QString demo_output() {
    demo_says_ += QString::fromUtf8(demo_.readAllStandardOutput());
    return demo_says_;
  }

  // Asks `done` until it says yes, at most `ms` long; it is asked once more
  // only after events have run, so it may consume what it looks at.
  static bool wait_until(const std::function<bool()>& done, int ms = 10000) {
    for (int step = 0; step < ms / 50; ++step) {
      if (done()) return true;
      run_events_for(50);
    }
    return done();
  }

  QProcess relay_, demo_;
  QString demo_says_;
  platform::UdpSocket companion_;
};

// Tone in, tone out: over the 50 ms windows that hold sound, the median
// count of zero crossings is twice the frequency sent, within a few percent.
// Silent windows (the sound's ends) are left out, and the median passes over
// the few windows a late block or a busy processor breaks. A sanitizer build
// plays too slowly for long unbroken runs, so a quarter second of them is
// enough here; a normal build gives about sixty windows.
void expect_tone(const std::vector<std::int16_t>& samples, double frequency_hz) {
  constexpr std::size_t kWindow = 400;
  std::vector<int> crossings;
  for (std::size_t start = 0; start + kWindow <= samples.size(); start += kWindow) {
    const std::vector<std::int16_t> window(samples.begin() + static_cast<std::ptrdiff_t>(start),
                                           samples.begin() + static_cast<std::ptrdiff_t>(start + kWindow));
    if (testing::peak(window) < 1000) continue;
    int count = 0;
    for (std::size_t i = 1; i < window.size(); ++i) count += (window[i - 1] < 0) != (window[i] < 0);
    crossings.push_back(count);
  }
  ASSERT_GE(crossings.size(), 5u) << "less than a quarter second of unbroken sound";
  std::nth_element(crossings.begin(), crossings.begin() + static_cast<std::ptrdiff_t>(crossings.size() / 2),
                   crossings.end());
  const double rate = crossings[crossings.size() / 2] * 8000.0 / static_cast<double>(kWindow);
  EXPECT_NEAR(rate, 2 * frequency_hz, 0.05 * frequency_hz);
}

TEST_F(ClientOnLocalNetwork, HearsShowsAndListsTheDemoMemberThenChangesChannel) {
  const QString tone = data_.filePath("tone.wav");
  testing::write_tone_wave(tone.toStdString(), 600.0, std::chrono::seconds(4));
  start_demo({"--sound", tone});
  std::vector<std::int16_t> heard;
  QImage while_speaking;
  std::array<std::int32_t, 2> listed_first{};
  EXPECT_EQ(run([&] {
              ASSERT_TRUE(wait_until([&] { return demo_output().contains("speaking"); }, 20000))
                  << demo_says_.toStdString();
              std::jthread ear([&] { heard = testing::record("spk.monitor", std::chrono::milliseconds(3000)); });
              EXPECT_TRUE(wait_until([&] { return client_.state().channel.SpeakerId.load() == kDemoMember; }));
              run_events_for(2000);  // the speaker poll fetches the picture and card
              while_speaking = front_end_.main_window()->surface();
              const relay::MemberTable& members = client_.members();
              EXPECT_TRUE(wait_until([&] { return members.ChannelMemberCounts[0].load() == 2; }));
              listed_first = {members.ChannelMembers[0][0].load(), members.ChannelMembers[0][1].load()};
              relay::select_channel(client_.state().channel, 1);
              // The relay lists only the channel the client is in: channel 1 now holds the client alone.
              EXPECT_TRUE(wait_until([&] {
                return members.ChannelMemberCounts[1].load() == 1 && members.ChannelMembers[1][0].load() == kOwnMember;
              }));
              EXPECT_TRUE(wait_until([&] { return client_.state().channel.ChannelMemberCount.load() == 1; }));
            }),
            kExitNormal);
  expect_tone(heard, 600.0);
  std::sort(listed_first.begin(), listed_first.end());
  EXPECT_EQ(listed_first, (std::array<std::int32_t, 2>{kOwnMember, kDemoMember}));
  ASSERT_FALSE(while_speaking.isNull());
  EXPECT_EQ(while_speaking.pixelColor(40, 400), QColor(0, 0, 220)) << "the demo member's picture";
}

TEST_F(ClientOnLocalNetwork, MicrophoneToneKeyedByTheCompanionReachesTheDemoMember) {
  const QString record = data_.filePath("heard.wav");
  start_demo({"--record", record, "--pause", "3600"});
  testing::ToneFeeder microphone("mic", 1000.0);
  ASSERT_TRUE(microphone.running());
  EXPECT_EQ(run([&] {
              // The client greets the companion at start-up; the companion answers where the greeting came from.
              std::array<std::uint8_t, 1024> greeting{};
              platform::Endpoint client_link{};
              ASSERT_TRUE(wait_until([&] {
                const auto received = companion_.receive(greeting);
                if (received) client_link = received->from;
                return received.has_value();
              }));
              ASSERT_TRUE(wait_until([&] { return demo_output().contains("member"); }));
              companion_.send_to(std::array<std::uint8_t, 1>{'T'}, client_link);
              EXPECT_TRUE(wait_until([&] { return client_.state().talk.is_talking(); }));
              run_events_for(3000);
              companion_.send_to(std::array<std::uint8_t, 1>{'R'}, client_link);
              EXPECT_TRUE(wait_until([&] { return !client_.state().talk.is_talking(); }));
            }),
            kExitNormal);
  demo_.terminate();
  ASSERT_TRUE(demo_.waitForFinished(5000));
  const std::vector<std::int16_t> left = testing::read_wave_left_channel(record.toStdString());
  expect_tone(left, 1000.0);
}

}  // namespace
}  // namespace marvok
