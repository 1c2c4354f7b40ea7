#include "platform/processes.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace marvok::platform {

namespace {

namespace fs = std::filesystem;

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::string read_file(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string base_name(std::string_view path) {
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// An exited process lingers until its parent collects it; it no longer runs.
bool has_exited(const fs::path& process) {
  const std::string stat = read_file(process / "stat");
  const auto name_end = stat.rfind(')');
  if (name_end == std::string::npos || name_end + 2 >= stat.size()) return false;
  const char state = stat[name_end + 2];
  return state == 'Z' || state == 'X';
}

// The kernel's name (cut to 15 characters), the executable file's name and the
// name the process was started under: any of them may be the one asked for.
bool runs_executable(const fs::path& process, std::string_view executable_name) {
  std::string comm = read_file(process / "comm");
  if (!comm.empty() && comm.back() == '\n') comm.pop_back();
  if (!comm.empty() && equal_ignoring_case(comm, executable_name)) return true;

  std::error_code error;
  const fs::path exe = fs::read_symlink(process / "exe", error);
  if (!error && equal_ignoring_case(exe.filename().string(), executable_name)) return true;

  const std::string command_line = read_file(process / "cmdline");
  const std::string_view argv0(command_line.c_str());
  return !argv0.empty() && equal_ignoring_case(base_name(argv0), executable_name);
}

// Safe between fork and exec: a plain write of what errno holds.
void report_errno(int descriptor) {
  const int error = errno;
  [[maybe_unused]] const ssize_t written = ::write(descriptor, &error, sizeof error);
}

}  // namespace

std::string program_file_name(std::string_view name) { return std::string(name); }

std::optional<std::string> own_executable_folder() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error || !exe.has_parent_path()) return std::nullopt;
  return exe.parent_path().string();
}

bool is_process_running(std::string_view executable_name) {
  std::error_code error;
  for (fs::directory_iterator entry("/proc", error), end; !error && entry != end; entry.increment(error)) {
    const std::string pid = entry->path().filename().string();
    if (pid.empty() || !std::ranges::all_of(pid, [](unsigned char c) { return std::isdigit(c); })) continue;
    if (runs_executable(entry->path(), executable_name) && !has_exited(entry->path())) return true;
  }
  return false;
}

bool start_detached(const std::string& path) {
  // The program's exec failure comes back through this pipe; a successful
  // exec closes it empty.
  int failure[2];
  if (::pipe2(failure, O_CLOEXEC) != 0) return false;
  char* const arguments[] = {const_cast<char*>(path.c_str()), nullptr};

  // Started by a child that ends at once, the program is nobody's child here
  // and is collected by the system. In its own session, a terminal's Ctrl-C
  // meant for the client does not reach it. Between fork and exec only calls
  // safe in a child of a threaded process.
  const pid_t starter = ::fork();
  if (starter < 0) {
    ::close(failure[0]);
    ::close(failure[1]);
    return false;
  }
  if (starter == 0) {
    ::close(failure[0]);
    ::setsid();
    const pid_t program = ::fork();
    if (program == 0) {
      // What the client holds or ignores is not the program's to inherit.
      sigset_t none;
      ::sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      ::signal(SIGPIPE, SIG_DFL);
      ::execv(path.c_str(), arguments);
      report_errno(failure[1]);
      ::_exit(127);
    }
    if (program < 0) report_errno(failure[1]);
    ::_exit(0);
  }

  ::close(failure[1]);
  while (::waitpid(starter, nullptr, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(failure[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  ::close(failure[0]);
  return got == 0;
}

}  // namespace marvok::platform
