#pragma once

#include <cstdint>

namespace marvok::ui {

// What a key pressed in the main window does.
struct KeyCommand {
  enum class Kind { CloseClient, Talk, Channel, About, Inactive };
  Kind kind = Kind::Inactive;
  int channel = -1;  // for Kind::Channel: 0 to 10

  bool operator==(const KeyCommand&) const = default;
};

// A key as the window system reports it: its Qt key code, whether it comes
// from the numeric pad, and the hardware key code (X11 key codes: the main
// row's digit keys are 10 to 19 whatever the keyboard layout).
struct PressedKey {
  int qt_key = 0;
  bool keypad = false;
  std::uint32_t scan_code = 0;
};

// Escape closes, Space talks, the digits of the main row and of the pad pick
// channels 0 to 9, the pad's plus channel 10, F1 shows the about box; every
// other key, Shift alone included, is inactive. On layouts where the main
// row gives symbols without Shift (French AZERTY), its keys still pick channels.
KeyCommand key_command(const PressedKey& key);

}  // namespace marvok::ui
