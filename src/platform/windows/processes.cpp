#include "platform/processes.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "platform/windows/wide_text.h"

namespace marvok::platform {

namespace {

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string program_file_name(std::string_view name) { return std::string(name) + ".exe"; }

std::optional<std::string> own_executable_folder() {
  // Long enough for any path the system hands out; a cut one is refused.
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return std::nullopt;
  path.resize(length);
  const auto separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return std::nullopt;
  path.resize(separator);
  return from_wide(path);
}

bool is_process_running(std::string_view executable_name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W process{};
  process.dwSize = sizeof process;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &process); more && !found; more = Process32NextW(snapshot, &process))
    found = equal_ignoring_case(from_wide(process.szExeFile), executable_name);
  CloseHandle(snapshot);
  return found;
}

bool start_detached(const std::string& path) {
  const std::wstring wide = to_wide(path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // Quoted, so that a path with spaces ("C:\Program Files\...") reaches the
  // program as its one argument; the call may write to it.
  std::wstring command_line = L"\"" + wide + L"\"";
  // Nothing of ours is inherited; in a process group of its own, a console's
  // Ctrl-C meant for the client does not reach it.
  if (!CreateProcessW(wide.c_str(), command_line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr,
                      nullptr, &startup, &started))
    return false;
  // Neither kept nor waited for.
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

}  // namespace marvok::platform
