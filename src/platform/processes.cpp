#include "platform/processes.h"

#include <QProcess>
#include <QString>
#include <algorithm>
#include <cctype>
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

}  // namespace

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

bool start_detached(const std::string& path) { return QProcess::startDetached(QString::fromStdString(path), {}); }

}  // namespace marvok::platform
