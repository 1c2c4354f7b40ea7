#pragma once

#include <functional>
#include <stop_token>

#include "screen/event_loop.h"

namespace marvok {

// Runs `work` on the main thread, which owns every window, and waits until it
// has run. Returns false, without waiting longer, when the calling worker is
// asked to stop first (the client is ending and the main loop may be gone).
// The call is dropped if `target` is destroyed before the main thread gets
// to it, so work that refers to a client never outlives that client.
bool run_on_main_thread(screen::PostTarget& target, std::function<void()> work, std::stop_token stop);

}  // namespace marvok
