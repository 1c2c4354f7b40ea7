#include "state/session_state.h"

namespace marvok {

// Linked into the test build of the client in place of the full count, so the
// inactivity supervisor closes an idle client within seconds.
const std::int32_t kCountdownSeconds = 3;

}  // namespace marvok
