#pragma once

class QApplication;

namespace marvok {

// Asks the main message loop to end with `exit_code`. Posted before the loop
// runs, the loop ends as soon as it starts.
void post_quit_message(int exit_code);

// Runs the main thread's message loop until a quit message; returns its code.
int run_message_loop(QApplication& app);

}  // namespace marvok
