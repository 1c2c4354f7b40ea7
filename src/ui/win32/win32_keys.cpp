#include "ui/win32/win32_keys.h"

#include <windows.h>

namespace marvok::ui::win32 {

screen::Key screen_key(unsigned virtual_key) {
  using screen::KeyName;
  if (virtual_key >= '0' && virtual_key <= '9') return {KeyName::Digit, static_cast<int>(virtual_key - '0')};
  if (virtual_key >= VK_NUMPAD0 && virtual_key <= VK_NUMPAD9) {
    return {KeyName::KeypadDigit, static_cast<int>(virtual_key - VK_NUMPAD0)};
  }
  switch (virtual_key) {
    case VK_ADD: return {KeyName::KeypadPlus};
    case VK_ESCAPE: return {KeyName::Escape};
    case VK_SPACE: return {KeyName::Space};
    case VK_F1: return {KeyName::F1};
    default: return {KeyName::Other};
  }
}

}  // namespace marvok::ui::win32
