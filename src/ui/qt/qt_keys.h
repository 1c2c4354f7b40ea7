#pragma once

#include <cstdint>

#include "screen/keys.h"

class QKeyEvent;

namespace marvok::ui {

// A key as Qt reports it: its Qt key code, whether it comes from the numeric
// pad, and the hardware key code (X11 key codes: the main row's digit keys
// are 10 to 19 whatever the keyboard layout).
struct PressedKey {
  int qt_key = 0;
  bool keypad = false;
  std::uint32_t scan_code = 0;
};

screen::Key screen_key(const PressedKey& key);
screen::Key screen_key(const QKeyEvent& event);

}  // namespace marvok::ui
