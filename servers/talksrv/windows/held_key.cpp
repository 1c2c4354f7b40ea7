#include "held_key.h"

namespace marvok::talksrv {

std::optional<Report> HeldKey::on(Event event) {
  const bool down = event == Event::Down;
  if (down == held_) return std::nullopt;
  held_ = down;
  return down ? Report::Talk : Report::Release;
}

}  // namespace marvok::talksrv
