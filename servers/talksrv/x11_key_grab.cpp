#include "x11_key_grab.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>
#include <vector>

namespace marvok::talksrv {

namespace {

// Xlib reports errors to one process-wide handler that carries no context.
// Grabs are checked synchronously on the grabbing thread, so the refusal is
// kept for that thread alone.
thread_local bool grab_refused = false;

int note_x_error(Display* /*display*/, XErrorEvent* event) {
  if (event->request_code == X_GrabKey && event->error_code == BadAccess) {
    grab_refused = true;
  } else {
    std::fprintf(stderr, "talksrv: X error %d on request %d\n", event->error_code, event->request_code);
  }
  return 0;  // the default handler would end the process
}

// The modifier bit a lock key is bound to; 0 when it has none.
unsigned int lock_mask(Display* display, KeySym lock_key) {
  const KeyCode code = XKeysymToKeycode(display, lock_key);
  XModifierKeymap* map = XGetModifierMapping(display);
  if (map == nullptr) return 0;
  unsigned int mask = 0;
  for (int modifier = 0; modifier < 8 && code != 0; ++modifier) {
    for (int k = 0; k < map->max_keypermod; ++k)
      if (map->modifiermap[modifier * map->max_keypermod + k] == code) mask = 1U << modifier;
  }
  XFreeModifiermap(map);
  return mask;
}

}  // namespace

// The display connection and the pipe that wakes its thread to stop it.
struct X11KeyGrab::Connection {
  Display* display = nullptr;
  KeyCode key = 0;
  std::array<int, 2> wake_pipe = {-1, -1};
  ~Connection() {
    if (display != nullptr) XCloseDisplay(display);
    for (const int fd : wake_pipe)
      if (fd >= 0) ::close(fd);
  }
};

std::unique_ptr<X11KeyGrab> X11KeyGrab::open(const std::string& key_name, OnChange on_change, std::string& error) {
  auto connection = std::make_unique<Connection>();
  if (::pipe2(connection->wake_pipe.data(), O_CLOEXEC) != 0) {
    error = "no pipe for the key thread";
    return nullptr;
  }
  connection->display = XOpenDisplay(nullptr);
  if (connection->display == nullptr) {
    error = "the X display cannot be opened";
    return nullptr;
  }
  Display* display = connection->display;
  const KeySym symbol = XStringToKeysym(key_name.c_str());
  connection->key = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
  if (connection->key == 0) {
    error = "no key \"" + key_name + "\" on this keyboard";
    return nullptr;
  }
  XSetErrorHandler(note_x_error);
  // The server then sends no release for a held key until it is let go.
  Bool detectable = False;
  XkbSetDetectableAutoRepeat(display, True, &detectable);
  if (!detectable) std::fputs("talksrv: the X server repeats held keys: push-to-talk may flicker\n", stderr);

  // The grab must hold whatever the lock keys' state.
  const unsigned int num_lock = lock_mask(display, XK_Num_Lock);
  const unsigned int scroll_lock = lock_mask(display, XK_Scroll_Lock);
  std::vector<unsigned int> combinations;
  for (const unsigned int caps : {0U, static_cast<unsigned int>(LockMask)}) {
    for (const unsigned int num : {0U, num_lock})
      for (const unsigned int scroll : {0U, scroll_lock}) combinations.push_back(caps | num | scroll);
  }
  std::sort(combinations.begin(), combinations.end());
  combinations.erase(std::unique(combinations.begin(), combinations.end()), combinations.end());

  const Window root = DefaultRootWindow(display);
  grab_refused = false;
  for (const unsigned int modifiers : combinations)
    XGrabKey(display, connection->key, modifiers, root, True, GrabModeAsync, GrabModeAsync);
  XSync(display, False);
  if (grab_refused) {
    error = "another program holds the key \"" + key_name + "\"";
    return nullptr;
  }
  return std::unique_ptr<X11KeyGrab>(new X11KeyGrab(std::move(connection), std::move(on_change)));
}

X11KeyGrab::X11KeyGrab(std::unique_ptr<Connection> connection, OnChange on_change)
    : connection_(std::move(connection)), on_change_(std::move(on_change)) {
  thread_ = std::thread([this] { run(); });
}

X11KeyGrab::~X11KeyGrab() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(connection_->wake_pipe[1], &byte, 1);
  thread_.join();
}

void X11KeyGrab::run() {
  Display* display = connection_->display;
  bool pressed = false;
  std::array<pollfd, 2> watch{pollfd{ConnectionNumber(display), POLLIN, 0},
                              pollfd{connection_->wake_pipe[0], POLLIN, 0}};
  while (true) {
    while (XPending(display) > 0) {
      XEvent event{};
      XNextEvent(display, &event);
      if ((event.type != KeyPress && event.type != KeyRelease) || event.xkey.keycode != connection_->key) continue;
      // Only changes count: a held key may still come as repeated presses.
      if (event.type == KeyPress && !pressed) {
        pressed = true;
        on_change_(Report::Talk);
      } else if (event.type == KeyRelease && pressed) {
        pressed = false;
        on_change_(Report::Release);
      }
    }
    if (::poll(watch.data(), watch.size(), -1) < 0) continue;
    if (watch[1].revents != 0 || (watch[0].revents & (POLLERR | POLLHUP)) != 0) return;
  }
}

}  // namespace marvok::talksrv
