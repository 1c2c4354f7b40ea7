#include "screen/network_ring_animation.h"

namespace marvok::screen {

void NetworkRingAnimation::block_sent() {
  if (++ring_step_ < 3) return;
  for (LedCell& cell : lights_.NetworkRing) set_led(cell, LedColor::DarkRed);
  set_led(lights_.NetworkRing[static_cast<std::size_t>(ring_cell_)], LedColor::Green);
  ring_cell_ = ring_cell_ == 0 ? static_cast<int>(kNetworkRingCells) - 1 : ring_cell_ - 1;
  ring_step_ = 0;
}

void NetworkRingAnimation::block_played() {
  if (!talk_.is_talking()) {
    const auto cell = static_cast<std::size_t>(lights_.PlaybackCursorCell.load(std::memory_order_relaxed));
    set_led(lights_.NetworkRing[cell % kNetworkRingCells], LedColor::Green);
  }
  if (blink_counter_ == 5) {
    set_led(lights_.UdpLed, LedColor::Green);
  } else if (blink_counter_ == 0) {
    set_led(lights_.UdpLed, LedColor::Blue);
  }
  blink_counter_ = (blink_counter_ + 1) % 10;
}

}  // namespace marvok::screen
