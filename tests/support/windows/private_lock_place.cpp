#include "support/private_lock_place.h"

namespace marvok::testing {

// A mutex lives only while a handle to it is open: nothing is left over. Its
// names belong to the desktop session, where no client runs during tests.
void use_private_lock_place() {}

}  // namespace marvok::testing
