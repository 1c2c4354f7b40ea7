#pragma once

namespace marvok::ui::win32 {

// Gets and dispatches the thread's messages until `done` turns true, as a
// modal loop does. Returns false when the thread was asked to quit
// (WM_QUIT, put back for the loop above) or its queue failed.
bool dispatch_until(const bool& done);

}  // namespace marvok::ui::win32
