#include "ui/win32/win32_keys.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace marvok::ui::win32 {
namespace {

using screen::Key;
using screen::KeyName;

TEST(Win32Keys, VirtualKeysBecomeTheMainWindowsKeys) {
  const struct {
    unsigned virtual_key;
    Key key;
  } cases[] = {
      {'0', {KeyName::Digit, 0}},
      {'7', {KeyName::Digit, 7}},
      {'9', {KeyName::Digit, 9}},
      {VK_NUMPAD0, {KeyName::KeypadDigit, 0}},
      {VK_NUMPAD9, {KeyName::KeypadDigit, 9}},
      {VK_ADD, {KeyName::KeypadPlus}},
      {VK_OEM_PLUS, {KeyName::Other}},  // the main keyboard's plus picks no channel
      {VK_ESCAPE, {KeyName::Escape}},
      {VK_SPACE, {KeyName::Space}},
      {VK_F1, {KeyName::F1}},
      {VK_F2, {KeyName::Other}},
      {VK_SHIFT, {KeyName::Other}},
      {'A', {KeyName::Other}},
      {'/', {KeyName::Other}},  // just below the digits
      {':', {KeyName::Other}},  // just above them
  };
  for (const auto& [virtual_key, key] : cases) EXPECT_EQ(screen_key(virtual_key), key) << virtual_key;
}

}  // namespace
}  // namespace marvok::ui::win32
