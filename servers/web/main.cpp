#include <malloc.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "database_migration.h"
#include "database_places.h"
#include "member_commands.h"
#include "member_store.h"
#include "request_log.h"
#include "usage.h"
#include "web_server.h"

namespace {

using marvok::web_server::CommandLine;

constexpr int kExitCannotServe = 1;
constexpr int kLargestHeapBlock = 256 * 1024;

int serve(const marvok::web_server::ServeOptions& options) {
  // The signals are taken by this thread alone, with sigwait: the server's
  // threads, started below, inherit the mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  // Upload records and pictures are megabytes each: with a fixed threshold
  // malloc maps every such buffer on its own and gives it back when the
  // request ends, instead of raising the threshold and keeping the memory.
  mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
  try {
    marvok::web_server::MemberStore store(options.database);
    marvok::web_server::RequestLog log(stderr);
    marvok::web_server::WebServer server(store, log);
    std::string error;
    if (!server.start(options, error)) {
      std::fprintf(stderr, "marvok-web: %s\n", error.c_str());
      return kExitCannotServe;
    }
    std::printf("marvok-web: serving https://%s:%d (database %s)\n", options.address.c_str(), server.port(),
                marvok::web_server::printable_place(options.database).c_str());
    std::fflush(stdout);
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.stop();
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "marvok-web: %s\n", failure.what());
    return kExitCannotServe;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const CommandLine command_line = marvok::web_server::parse_command_line(arguments);
  switch (command_line.action) {
    case CommandLine::Action::Help: return marvok::command_line::print_usage(marvok::web_server::usage_text());
    case CommandLine::Action::Error:
      return marvok::command_line::refuse_arguments("marvok-web", command_line.error, marvok::web_server::usage_text());
    case CommandLine::Action::Serve: return serve(command_line.serve);
    case CommandLine::Action::MemberSet:
      return marvok::web_server::run_member_set(command_line.database, command_line.edit, stdout, stderr);
    case CommandLine::Action::MemberList:
      return marvok::web_server::run_member_list(command_line.database, stdout, stderr);
    case CommandLine::Action::Migrate:
      return marvok::web_server::run_migrate(command_line.database, command_line.migrate_to, stdout, stderr);
    case CommandLine::Action::MemberForget:
      return marvok::web_server::run_member_forget(command_line.database, command_line.unseen_days, stdout, stderr);
  }
  return marvok::command_line::kExitBadOptions;
}
