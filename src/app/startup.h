#pragma once

class QApplication;

namespace marvok {

// Exit codes of the client.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitAlreadyRunning = 1;

// Starts the client, runs its message loop until the main window is destroyed
// and shuts it down. Returns the process exit code.
int run_client(QApplication& app);

}  // namespace marvok
