#include "ui/keyboard_commands.h"

#include <Qt>

namespace marvok::ui {

namespace {

constexpr std::uint32_t kFirstDigitRowScanCode = 10;  // the "1" key; "0" is 19
constexpr std::uint32_t kLastDigitRowScanCode = 19;

KeyCommand channel(int n) { return {KeyCommand::Kind::Channel, n}; }

}  // namespace

KeyCommand key_command(const PressedKey& key) {
  if (key.qt_key >= Qt::Key_0 && key.qt_key <= Qt::Key_9) return channel(key.qt_key - Qt::Key_0);
  if (key.keypad && key.qt_key == Qt::Key_Plus) return channel(10);
  switch (key.qt_key) {
    case Qt::Key_Escape: return {KeyCommand::Kind::CloseClient};
    case Qt::Key_Space: return {KeyCommand::Kind::Talk};
    case Qt::Key_F1: return {KeyCommand::Kind::About};
    default: break;
  }
  if (!key.keypad && key.scan_code >= kFirstDigitRowScanCode && key.scan_code <= kLastDigitRowScanCode)
    return channel(static_cast<int>((key.scan_code - kFirstDigitRowScanCode + 1) % 10));
  return {KeyCommand::Kind::Inactive};
}

}  // namespace marvok::ui
