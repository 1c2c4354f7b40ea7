// The three sources of push-to-talk reports: the key grabbed on the X
// display, the desktop portal where it is missing, and the window's button.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <array>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "companion_server.h"
#include "portal_shortcuts.h"
#include "talk_window.h"
#include "x11_key_grab.h"

namespace marvok::talksrv {
namespace {

using namespace std::chrono_literals;
using platform::UdpSocket;

TEST(X11KeyGrabTest, AHeldKeyGivesOneTalkThenOneReleaseAtTheLastSender) {
  if (std::getenv("DISPLAY") == nullptr || QStandardPaths::findExecutable("xdotool").isEmpty())
    GTEST_SKIP() << "needs an X display and xdotool";
  const auto server = CompanionServer::open({0x7F000001, 0});
  ASSERT_TRUE(server);
  std::string error;
  auto grab = X11KeyGrab::open(
      "Pause", [&](Report change) { server->report(change); }, error);
  ASSERT_TRUE(grab) << error;

  // The client speaks first, so the server knows where to report.
  const auto client = UdpSocket::open_bound({0x7F000001, 0}).value();
  const std::array<std::uint8_t, 2> hello{0x01, 'a'};
  client.send_to(hello, server->socket().local_endpoint().value());
  std::array<std::uint8_t, 64> buffer{};
  ASSERT_EQ(server->socket().wait_readable(1s), UdpSocket::Wait::Readable);
  std::jthread serving([&](const std::stop_token& stop) { server->run(stop, {[](std::string) {}, [] {}}); });

  // Held past the display's auto-repeat delay.
  ASSERT_EQ(std::system("xdotool keydown Pause && sleep 1.5 && xdotool keyup Pause"), 0);
  std::vector<std::uint8_t> reports;
  while (client.wait_readable(500ms) == UdpSocket::Wait::Readable)
    if (const auto got = client.receive(buffer)) reports.insert(reports.end(), buffer.begin(), buffer.begin() + 1);
  EXPECT_EQ(reports, (std::vector<std::uint8_t>{'T', 'R'}));

  // Another holder of the key is refused, and says why.
  auto second = X11KeyGrab::open(
      "Pause", [](Report) {}, error);
  EXPECT_FALSE(second);
  EXPECT_NE(error.find("another program holds the key \"Pause\""), std::string::npos) << error;
  EXPECT_FALSE(X11KeyGrab::open(
      "NoSuchKey", [](Report) {}, error));
  EXPECT_NE(error.find("no key \"NoSuchKey\""), std::string::npos) << error;
}

TEST(TalkWindowTest, TheButtonTalksWhileHeld) {
  std::vector<Report> reports;
  TalkWindow window([&](Report change) { reports.push_back(change); });
  window.show();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Marvok - synthèse vocale"));
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(window.button().text(), QStringLiteral("Maintenir pour parler"));

  QTest::mousePress(&window.button(), Qt::LeftButton);
  EXPECT_EQ(reports, std::vector<Report>{Report::Talk});
  QTest::mouseRelease(&window.button(), Qt::LeftButton);
  EXPECT_EQ(reports, (std::vector<Report>{Report::Talk, Report::Release}));
}

TEST(PortalShortcutsTest, SaysOnceWhyThereIsNoShortcut) {
  std::vector<QString> reasons;
  const auto record = [&](const QString& reason) { reasons.push_back(reason); };

  PortalShortcuts no_bus(
      QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "absent"), "Pause", [](Report) {},
      record);
  no_bus.start();
  ASSERT_EQ(reasons.size(), 1U);
  EXPECT_EQ(reasons[0], QStringLiteral("no D-Bus session bus"));

  // A bus of our own, with no portal on it.
  QProcess bus;
  bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
  if (!bus.waitForReadyRead(5000)) GTEST_SKIP() << "no dbus-daemon";
  const QString address = QString::fromUtf8(bus.readLine()).trimmed();
  {
    PortalShortcuts no_portal(
        QDBusConnection::connectToBus(address, "private"), "Pause", [](Report) {}, record);
    no_portal.start();
    QTRY_COMPARE_WITH_TIMEOUT(reasons.size(), 2U, 5000);
    EXPECT_TRUE(reasons[1].startsWith("the desktop portal has no global shortcuts")) << reasons[1].toStdString();
  }
  QDBusConnection::disconnectFromBus("private");
  bus.terminate();
  bus.waitForFinished();
}

}  // namespace
}  // namespace marvok::talksrv
