#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "command_line.h"
#include "companion/companion_link.h"
#include "companion_server.h"
#include "display_probe.h"
#include "platform/termination_signals.h"
#include "portal_shortcuts.h"
#include "speaker.h"
#include "speech_player.h"
#include "talk_window.h"
#include "usage.h"
#include "x11_key_grab.h"

namespace {

using namespace marvok::talksrv;

constexpr int kExitCannotServe = 1;

void say_no_key(std::string_view reason) {
  std::fprintf(stderr, "talksrv: no push-to-talk key: %.*s; hold the window's button instead\n",
               static_cast<int>(reason.size()), reason.data());
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const CommandLine command_line = parse_command_line(arguments);
  if (command_line.action == CommandLine::Action::Help) return marvok::command_line::print_usage(usage_text());
  if (command_line.action == CommandLine::Action::Error) {
    return marvok::command_line::refuse_arguments("talksrv", command_line.error, usage_text());
  }
  const std::string& key = command_line.key;

  // Loopback only: nobody else may make this machine speak or key its microphone.
  const auto server = CompanionServer::open({marvok::companion::kLoopbackAddress, kCompanionPort});
  if (!server) {
    std::fprintf(stderr, "talksrv: port %u on 127.0.0.1 is taken: is talksrv already running?\n", kCompanionPort);
    return kExitCannotServe;
  }

  const DisplayKind display = usable_display();
  std::unique_ptr<QCoreApplication> app;
  if (display == DisplayKind::Headless) {
    app = std::make_unique<QCoreApplication>(argc, argv);
  } else {
    app = std::make_unique<QApplication>(argc, argv);
  }
  if (const int requests = marvok::platform::termination_request_descriptor(); requests >= 0) {
    auto* notifier = new QSocketNotifier(requests, QSocketNotifier::Read, app.get());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
      marvok::platform::take_termination_request();
      QCoreApplication::exit(0);
    });
  }
  if (display == DisplayKind::Headless)
    std::fputs("talksrv: no display: the push-to-talk key and window are off; texts are still spoken\n", stderr);

  SpeechPlayer player;
  Speaker speaker(player);
  QCoreApplication* const application = app.get();
  const CompanionServer::Handlers handlers{[&speaker](std::string text) { speaker.say(std::move(text)); },
                                           [application] {
                                             QMetaObject::invokeMethod(
                                                 application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
                                           }};
  std::jthread serving([&server, &handlers](const std::stop_token& stop) { server->run(stop, handlers); });

  const auto report = [&server](Report change) { server->report(change); };
  std::unique_ptr<TalkWindow> window;
  std::unique_ptr<PortalShortcuts> portal;
  std::unique_ptr<X11KeyGrab> grab;
  if (display != DisplayKind::Headless) {
    // Closing the window ends talksrv, as the client's quit does.
    window = std::make_unique<TalkWindow>(report);
    window->show();
  }
  if (display == DisplayKind::Wayland) {
    portal = std::make_unique<PortalShortcuts>(QDBusConnection::sessionBus(), QString::fromStdString(key), report,
                                               [](const QString& reason) { say_no_key(reason.toStdString()); });
    portal->start();
  } else if (display == DisplayKind::X11) {
    std::string error;
    grab = X11KeyGrab::open(key, report, error);
    if (!grab) say_no_key(error);
  }

  const int code = QCoreApplication::exec();
  grab.reset();
  portal.reset();
  window.reset();
  serving.request_stop();
  return code;
}
