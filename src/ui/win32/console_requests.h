#pragma once

#include <functional>

namespace marvok::ui::win32 {

// Passes the console's requests to end (Ctrl+C, Ctrl+Break, its window
// closed, logoff, shutdown) to `forward` while it lives, instead of letting
// them end the process on the spot. `forward` runs on a thread of the
// system's and must be quick. The latest of several is served until it
// goes: destroy them in the reverse order of their making.
class ConsoleRequests {
 public:
  explicit ConsoleRequests(std::function<void()> forward);
  ~ConsoleRequests();
  ConsoleRequests(const ConsoleRequests&) = delete;
  ConsoleRequests& operator=(const ConsoleRequests&) = delete;

 private:
  std::function<void()> forward_;
  const std::function<void()>* previous_ = nullptr;
};

}  // namespace marvok::ui::win32
