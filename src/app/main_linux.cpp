#include "app/client.h"
#include "platform/termination_signals.h"
#include "ui/qt/qt_front_end.h"

int main(int argc, char** argv) {
  // A request to end during start-up is answered once the window is up.
  marvok::platform::catch_termination_signals();
  return marvok::ui::run_with_qt_front_end(argc, argv, [](marvok::screen::FrontEnd& front_end) {
    marvok::Client client(front_end);
    return client.run();
  });
}
