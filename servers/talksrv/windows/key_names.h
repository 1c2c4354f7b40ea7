#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace marvok::talksrv {

// The virtual-key code of a key named as on Linux, by its X keysym name
// ("Pause", "F12", "Scroll_Lock", "a"); nothing for a name with no such key.
// Names are matched exactly, as X matches them.
std::optional<std::uint8_t> virtual_key_for(std::string_view keysym);

}  // namespace marvok::talksrv
