#pragma once

#include "screen/keys.h"

namespace marvok::ui::win32 {

// The main window's key for a key message's virtual-key code. The main row's
// digits have their codes whatever the keyboard layout types on them.
screen::Key screen_key(unsigned virtual_key);

}  // namespace marvok::ui::win32
