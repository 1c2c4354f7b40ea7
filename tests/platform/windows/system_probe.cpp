// The second process of the system tests.
//   system_probe lock NAME   takes the lock NAME and ends without letting it
//                            go; exits with 0 taken, 1 held elsewhere, 2 failed
//   system_probe             (started detached, with no arguments) writes
//                            "<its path>.started" and runs until
//                            "<its path>.stop" exists, 20 s at most
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/instance_lock.h"

int main(int argc, char** argv) {
  using marvok::platform::InstanceLock;
  if (argc == 3 && std::string(argv[1]) == "lock") {
    InstanceLock lock;
    const InstanceLock::Outcome outcome = lock.acquire(argv[2]);
    std::fflush(stdout);
    // Ends with the mutex still owned: the system must free it.
    ExitProcess(outcome == InstanceLock::Outcome::Acquired        ? 0
                : outcome == InstanceLock::Outcome::HeldElsewhere ? 1
                                                                  : 2);
  }
  if (argc != 1) return 3;
  std::wstring own(MAX_PATH, L'\0');
  own.resize(GetModuleFileNameW(nullptr, own.data(), MAX_PATH));
  const std::filesystem::path started(own + L".started"), stop(own + L".stop");
  std::ofstream(started) << GetCurrentProcessId() << '\n';
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!std::filesystem::exists(stop) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return 0;
}
