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
#include "platform/volume_serial.h"
#include "state/machine_id.h"
#include "support/box_watcher.h"
#include "support/pseudo_terminal.h"
#include "ui/main_window.h"

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
      if (ui::MainWindow* window = client_.main_window()) window->close();
    });
    return client_.run(*qApp);
  }

  QTemporaryDir resources_, runtime_, data_;
  QString certificates_;
  QString machine_id_;
  QProcess service_;
  // The serial ports the client finds: none unless a test plugs an accessory in.
  std::vector<platform::SerialPortEntry> serial_ports_;
  testing::PseudoTerminal accessory_;
  Client client_{
      accessory::SerialAccess{[this] { return std::optional(serial_ports_); }, accessory::open_accessory_port}};
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
              surface = client_.main_window()->surface();
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
  const auto icon_colour = [this] { return client_.main_window()->surface().pixelColor(328, 511); };
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

}  // namespace
}  // namespace marvok
