#pragma once

#include <cstdint>

namespace marvok::accessory {

// What the accessory icon shows; the numbers are the kinds of the icons the
// web service serves.
enum class AccessoryState : std::int32_t { NoAccessory = 1, Released = 2, Pressed = 3 };

}  // namespace marvok::accessory
