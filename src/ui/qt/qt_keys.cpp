#include "ui/qt/qt_keys.h"

#include <QKeyEvent>

namespace marvok::ui {

namespace {

constexpr std::uint32_t kFirstDigitRowScanCode = 10;  // the "1" key; "0" is 19
constexpr std::uint32_t kLastDigitRowScanCode = 19;

}  // namespace

screen::Key screen_key(const PressedKey& key) {
  using screen::KeyName;
  if (key.qt_key >= Qt::Key_0 && key.qt_key <= Qt::Key_9)
    return {key.keypad ? KeyName::KeypadDigit : KeyName::Digit, key.qt_key - Qt::Key_0};
  if (key.keypad && key.qt_key == Qt::Key_Plus) return {KeyName::KeypadPlus};
  switch (key.qt_key) {
    case Qt::Key_Escape: return {KeyName::Escape};
    case Qt::Key_Space: return {KeyName::Space};
    case Qt::Key_F1: return {KeyName::F1};
    default: break;
  }
  // On layouts where the main row gives symbols without Shift (French
  // AZERTY), its keys are known by their place.
  if (!key.keypad && key.scan_code >= kFirstDigitRowScanCode && key.scan_code <= kLastDigitRowScanCode)
    return {KeyName::Digit, static_cast<int>((key.scan_code - kFirstDigitRowScanCode + 1) % 10)};
  return {KeyName::Other};
}

screen::Key screen_key(const QKeyEvent& event) {
  return screen_key({event.key(), event.modifiers().testFlag(Qt::KeypadModifier), event.nativeScanCode()});
}

}  // namespace marvok::ui
