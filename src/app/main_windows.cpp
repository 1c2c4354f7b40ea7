#include <windows.h>

#include "app/client.h"
#include "ui/win32/win32_front_end.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/, int /*show*/) {
  marvok::ui::win32::Win32FrontEnd front_end;
  marvok::Client client(front_end);
  // When the system's session ends, the microphone gets its level back and
  // the companion its goodbye before the process may be ended.
  front_end.set_session_ending([&client, &front_end] {
    client.shut_down();
    front_end.loop().exit(marvok::kExitNormal);
  });
  return client.run();
}
