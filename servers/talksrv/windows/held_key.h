#pragma once

#include <optional>

#include "companion_server.h"

namespace marvok::talksrv {

// Whether push-to-talk is held, from the presses and releases of a key or a
// button: the system repeats key-downs while a key is held, and a button may
// see its release twice (let go, capture lost). Only a change is a report.
class HeldKey {
 public:
  enum class Event { Down, Up };
  std::optional<Report> on(Event event);

 private:
  bool held_ = false;
};

}  // namespace marvok::talksrv
