#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "command_line.h"
#include "companion/companion_link.h"
#include "companion_server.h"
#include "key_names.h"
#include "keyboard_hook.h"
#include "messages.h"
#include "platform/windows/wide_text.h"
#include "sapi_speaker.h"
#include "talk_window.h"
#include "usage.h"

namespace {

using namespace marvok::talksrv;

constexpr int kExitCannotServe = 1;

// The window that the console's requests to end close; the system calls the
// handler on a thread of its own, with no context of ours.
std::atomic<HWND> window_to_close{nullptr};

BOOL WINAPI on_console_request(DWORD event) {
  const HWND window = window_to_close.load();
  if (window == nullptr) return FALSE;
  PostMessageW(window, WM_CLOSE, 0, 0);
  // The process ends as soon as the handler returns from these: a moment for
  // the window thread to close in order.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(2000);
  return TRUE;
}

std::vector<std::string> arguments() {
  int count = 0;
  LPWSTR* const wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> result;
  for (int i = 1; wide != nullptr && i < count; ++i) result.push_back(marvok::platform::from_wide(wide[i]));
  LocalFree(static_cast<HLOCAL>(wide));
  return result;
}

void say_no_key(std::string_view reason) {
  tell("talksrv: no push-to-talk key: " + std::string(reason) + "; hold the window's button instead");
}

int serve(const std::string& key) {
  // Loopback only: nobody else may make this machine speak or key its microphone.
  const auto server = CompanionServer::open({marvok::companion::kLoopbackAddress, kCompanionPort});
  if (!server) {
    tell("talksrv: port " + std::to_string(kCompanionPort) + " on 127.0.0.1 is taken: is talksrv already running?");
    return kExitCannotServe;
  }
  const auto report = [&server](Report change) { server->report(change); };
  // Closing the window ends talksrv, as the client's quit does.
  const std::unique_ptr<TalkWindow> window = TalkWindow::open(report);
  if (!window) {
    tell("talksrv: the window cannot be made (error " + std::to_string(GetLastError()) + ")");
    return kExitCannotServe;
  }
  window_to_close.store(window->handle());
  // A windowed program has no console of its own: started from one, it joins
  // it, so that Ctrl+C there ends it in order.
  AttachConsole(ATTACH_PARENT_PROCESS);
  SetConsoleCtrlHandler(on_console_request, TRUE);

  SapiSpeaker speaker(tell);
  const CompanionServer::Handlers handlers{[&speaker](std::string text) { speaker.say(std::move(text)); },
                                           [&window] { window->close(); }};
  std::jthread serving([&server, &handlers](const std::stop_token& stop) { server->run(stop, handlers); });

  std::unique_ptr<KeyboardHook> hook;
  if (const std::optional<std::uint8_t> code = virtual_key_for(key); !code) {
    say_no_key("no key \"" + key + "\" on this keyboard");
  } else {
    std::string error;
    hook = KeyboardHook::install(*code, report, error);
    if (!hook) say_no_key(error);
  }

  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  hook.reset();
  window_to_close.store(nullptr);
  serving.request_stop();
  return message.message == WM_QUIT ? static_cast<int>(message.wParam) : kExitCannotServe;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/, int /*show*/) {
  const std::vector<std::string> given = arguments();
  const std::vector<std::string_view> views(given.begin(), given.end());
  const CommandLine command_line = parse_command_line(views);
  if (command_line.action == CommandLine::Action::Help) return marvok::command_line::print_usage(usage_text());
  if (command_line.action == CommandLine::Action::Error)
    return marvok::command_line::refuse_arguments("talksrv", command_line.error, usage_text());
  return serve(command_line.key);
}
