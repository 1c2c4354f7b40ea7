#pragma once

namespace marvok::screen {

// A key as the main window understands it, whichever system reports it. The
// digits are those of the main row and of the numeric pad, whatever the
// keyboard layout makes them type (French AZERTY gives symbols without Shift).
enum class KeyName {
  Escape,
  Space,
  F1,
  Digit,        // main row, `digit` 0 to 9
  KeypadDigit,  // numeric pad, `digit` 0 to 9
  KeypadPlus,
  Other,  // any other key, Shift alone included
};

struct Key {
  KeyName name = KeyName::Other;
  int digit = 0;

  friend constexpr bool operator==(const Key&, const Key&) = default;
};

// What a key pressed in the main window does.
struct KeyCommand {
  enum class Kind { CloseClient, Talk, Channel, About, Inactive };
  Kind kind = Kind::Inactive;
  int channel = -1;  // for Kind::Channel: 0 to 10

  friend constexpr bool operator==(const KeyCommand&, const KeyCommand&) = default;
};

// Escape closes, Space talks, the digits of the main row and of the pad pick
// channels 0 to 9, the pad's plus channel 10, F1 shows the about box; every
// other key is inactive.
constexpr KeyCommand key_command(Key key) {
  switch (key.name) {
    case KeyName::Escape: return {KeyCommand::Kind::CloseClient};
    case KeyName::Space: return {KeyCommand::Kind::Talk};
    case KeyName::F1: return {KeyCommand::Kind::About};
    case KeyName::Digit:
    case KeyName::KeypadDigit:
      if (key.digit >= 0 && key.digit <= 9) return {KeyCommand::Kind::Channel, key.digit};
      break;
    case KeyName::KeypadPlus: return {KeyCommand::Kind::Channel, 10};
    case KeyName::Other: break;
  }
  return {KeyCommand::Kind::Inactive};
}

}  // namespace marvok::screen
