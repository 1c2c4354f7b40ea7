#include "state/session_state.h"

namespace marvok {

// One hour and a quarter without a key released or an accessory press.
const std::int32_t kCountdownSeconds = 4500;

}  // namespace marvok
