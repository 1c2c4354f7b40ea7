#pragma once

#include <fcntl.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace marvok::testing {

// A pseudo-terminal standing in for a serial adapter: its port name opens
// the near end; the test plays the accessory on the far end.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    char path[64] = {};
    // The near end stays open here too, so the far end works while no port is open.
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) == 0 && ::ptsname_r(master_, path, sizeof path) == 0)
      port_name_ = std::string(path).substr(5);  // without "/dev/"
    // A process the test starts must not keep the far end open: unplugging would then hang up nothing.
    for (const int end : {master_, slave_})
      if (end >= 0) ::fcntl(end, F_SETFD, FD_CLOEXEC);
  }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  ~PseudoTerminal() {
    unplug();
    if (slave_ >= 0) ::close(slave_);
  }

  int far_end() const { return master_; }
  const std::string& port_name() const { return port_name_; }
  // Hangs the near end up, as pulling the adapter out does.
  void unplug() {
    if (master_ >= 0) ::close(std::exchange(master_, -1));
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string port_name_;
};

}  // namespace marvok::testing
