#pragma once

#include <cstdint>

#include "database_places.h"

namespace marvok::web_server {

// The members' database as this program writes it; each change of its
// tables adds one step and raises the number.
inline constexpr int kSchemaVersion = 3;

// Brings the database to kSchemaVersion in one transaction, whichever engine
// holds it, and whichever process gets there first. A database newer than
// this program is refused with DatabaseError and left untouched.
void bring_schema_up_to_date(Database& database, std::int64_t now);

}  // namespace marvok::web_server
