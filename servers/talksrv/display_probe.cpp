#include "display_probe.h"

#include <X11/Xlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace marvok::talksrv {

namespace {

bool wayland_answers() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  std::string path = name;
  if (path.front() != '/') {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr) return false;
    path = std::string(runtime) + "/" + path;
  }
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

bool x11_opens() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  ::Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XCloseDisplay(display);
  return true;
}

}  // namespace

DisplayKind usable_display() {
  if (wayland_answers()) return DisplayKind::Wayland;
  if (x11_opens()) return DisplayKind::X11;
  return DisplayKind::Headless;
}

}  // namespace marvok::talksrv
