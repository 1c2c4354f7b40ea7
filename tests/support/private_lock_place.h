#pragma once

namespace marvok::testing {

// Makes the instance locks this test program takes its own, so that a
// running client keeps its lock and the test finds none left over.
void use_private_lock_place();

}  // namespace marvok::testing
