#pragma once

#include <functional>

class QObject;

namespace marvok::platform {

// Holds the process's requests to end (SIGINT, SIGTERM, SIGHUP) from now on,
// instead of letting them end it on the spot, until a handler is given below.
// Call first thing in main: start-up takes a while before it can close in order.
void catch_termination_signals();

// Calls `on_request` on the main thread's event loop when the process is asked
// to end, also for a request held since `catch_termination_signals`, so the
// client can close in its own order. Call from the main thread, after the
// application object exists; the request is forgotten when `context` is
// destroyed.
void on_termination_request(QObject& context, std::function<void()> on_request);

}  // namespace marvok::platform
