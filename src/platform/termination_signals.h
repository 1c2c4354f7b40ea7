#pragma once

#include <functional>

namespace marvok::platform {

// Calls `on_request` on the main thread's event loop when the process is asked
// to end (SIGINT, SIGTERM, SIGHUP), so the client can close in its own order.
// Call once, from the main thread, after the application object exists.
void on_termination_request(std::function<void()> on_request);

}  // namespace marvok::platform
