#pragma once

#include <functional>

class QObject;
#include <stop_token>

namespace marvok {

// Runs `work` on the main thread, which owns every window, and waits until it
// has run. Returns false, without waiting longer, when the calling worker is
// asked to stop first (the client is ending and the main loop may be gone).
// The call is dropped if `context` is destroyed before the main thread gets
// to it, so work that refers to a client never outlives that client.
bool run_on_main_thread(QObject& context, std::function<void()> work, std::stop_token stop);

}  // namespace marvok
