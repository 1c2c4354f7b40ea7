#pragma once

#include <string_view>

namespace marvok::talksrv {

// One line of talksrv's messages, without its line end: on standard error
// when the program has one (started from a console or with its output taken),
// else to the debugger, as a windowed program started from the desktop has
// nowhere else to write.
void tell(std::string_view line);

}  // namespace marvok::talksrv
