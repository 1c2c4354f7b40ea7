#include "app/heartbeat_worker.h"

#include "platform/worker_threads.h"

namespace marvok {

void run_heartbeat_worker(std::stop_token stop, LedCell& tcp_led, std::chrono::milliseconds half_period) {
  while (sleep_unless_stopped(stop, half_period)) {
    set_led(tcp_led, LedColor::Blue);
    if (!sleep_unless_stopped(stop, half_period)) return;
    set_led(tcp_led, LedColor::DarkBlue);
  }
}

}  // namespace marvok
