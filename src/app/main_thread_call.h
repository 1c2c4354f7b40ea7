#pragma once

#include <functional>
#include <stop_token>

namespace marvok {

// Runs `work` on the main thread, which owns every window, and waits until it
// has run. Returns false, without waiting longer, when the calling worker is
// asked to stop first (the client is ending and the main loop may be gone).
bool run_on_main_thread(std::function<void()> work, std::stop_token stop);

}  // namespace marvok
