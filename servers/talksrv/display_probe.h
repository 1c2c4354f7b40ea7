#pragma once

namespace marvok::talksrv {

enum class DisplayKind { Headless, X11, Wayland };

// Which display this session can open: Wayland when its socket answers, X11
// when the display opens. Qt would end the process on a display it cannot
// open, so this is decided before the application object is made.
DisplayKind usable_display();

}  // namespace marvok::talksrv
