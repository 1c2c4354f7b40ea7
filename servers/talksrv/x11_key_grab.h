#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "companion_server.h"

namespace marvok::talksrv {

// A key grabbed on the whole X display, whichever window has the focus: its
// press and its release, once each however long it is held. It has its own
// connection to the display and its own thread.
class X11KeyGrab {
 public:
  using OnChange = std::function<void(Report)>;

  // Nothing, with the reason in `error`, when the display cannot be opened,
  // the key is unknown or another program holds it.
  static std::unique_ptr<X11KeyGrab> open(const std::string& key_name, OnChange on_change, std::string& error);
  ~X11KeyGrab();
  X11KeyGrab(const X11KeyGrab&) = delete;
  X11KeyGrab& operator=(const X11KeyGrab&) = delete;

 private:
  struct Connection;
  X11KeyGrab(std::unique_ptr<Connection> connection, OnChange on_change);
  void run();

  std::unique_ptr<Connection> connection_;
  OnChange on_change_;
  std::thread thread_;
};

}  // namespace marvok::talksrv
