#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "operator_client.h"
#include "relay_server.h"
#include "usage.h"

namespace {

using marvok::relay_server::CommandLine;
using marvok::relay_server::RelayServer;

constexpr int kExitCannotServe = 1;

RelayServer* g_server = nullptr;

void on_stop_signal(int) { g_server->stop(); }

void stop_on_signals(RelayServer& server) {
  g_server = &server;
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  CommandLine command_line = marvok::relay_server::parse_command_line(arguments);
  if (command_line.action == CommandLine::Action::Help) {
    return marvok::command_line::print_usage(marvok::relay_server::usage_text());
  }
  if (command_line.action == CommandLine::Action::Error) {
    return marvok::command_line::refuse_arguments("marvok-relay", command_line.error,
                                                  marvok::relay_server::usage_text());
  }
  if (command_line.action == CommandLine::Action::PrintGatewayRules) {
    std::fputs(command_line.gateway_rules.c_str(), stdout);
    return 0;
  }
  if (command_line.action == CommandLine::Action::SendCommand) {
    return marvok::relay_server::send_operator_command(command_line.config.control_socket,
                                                       command_line.operator_command, stdout, stderr);
  }

  command_line.config.command_fd = STDIN_FILENO;
  RelayServer server(command_line.config);
  std::string error;
  if (!server.open(error)) {
    std::fprintf(stderr, "marvok-relay: %s\n", error.c_str());
    return kExitCannotServe;
  }
  stop_on_signals(server);
  server.run();
  return 0;
}
