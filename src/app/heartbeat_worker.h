#pragma once

#include <chrono>
#include <stop_token>

#include "state/led_color.h"

namespace marvok {

inline constexpr std::chrono::milliseconds kHeartbeatHalfPeriod{5000};

// Shows the client is alive: the "TCP" light turns blue, then dark blue,
// alternating every five seconds until the loop is stopped.
void run_heartbeat_worker(std::stop_token stop, LedCell& tcp_led,
                          std::chrono::milliseconds half_period = kHeartbeatHalfPeriod);

}  // namespace marvok
