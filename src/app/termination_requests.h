#pragma once

#include <functional>

class QObject;

namespace marvok {

// Calls `on_request` on the main thread's event loop when the process is asked
// to end, also for a request held since platform::catch_termination_signals,
// so the client can close in its own order. Call from the main thread, after
// the application object exists; the request is forgotten when `context` is
// destroyed.
void on_termination_request(QObject& context, std::function<void()> on_request);

}  // namespace marvok
