#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/processes.h"
#include "platform/windows/wide_text.h"

namespace marvok::testing {

// The path of the tests' second program, built beside the test program.
inline std::wstring system_probe_path() {
  const std::optional<std::string> folder = platform::own_executable_folder();
  if (!folder) return {};
  return platform::to_wide(*folder) + L"\\" MARVOK_SYSTEM_PROBE_W;
}

// Runs the probe with `arguments` and waits for it: its exit code, or
// nothing when it could not run or did not end within ten seconds.
inline std::optional<DWORD> run_system_probe(const std::wstring& arguments) {
  std::wstring command = L"\"" + system_probe_path() + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    return std::nullopt;
  CloseHandle(started.hThread);
  DWORD code = 0;
  const bool ended = WaitForSingleObject(started.hProcess, 10000) == WAIT_OBJECT_0;
  // A probe that hangs is ended, not left to hold its lock into later cases.
  if (!ended && TerminateProcess(started.hProcess, 1)) WaitForSingleObject(started.hProcess, 1000);
  const bool answered = ended && GetExitCodeProcess(started.hProcess, &code);
  CloseHandle(started.hProcess);
  if (!answered) return std::nullopt;
  return code;
}

}  // namespace marvok::testing
