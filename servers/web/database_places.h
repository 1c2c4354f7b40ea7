#pragma once

#include <memory>
#include <string>

#include "database.h"

namespace marvok::web_server {

using ::marvok::database::Database;
using ::marvok::database::DatabaseError;
using ::marvok::database::DatabaseUnavailable;
using ::marvok::database::names_postgresql;
using ::marvok::database::printable_place;
using ::marvok::database::Statement;
using ::marvok::database::WriteTransaction;

// The members' database: an SQLite file's path, or a PostgreSQL URL.
std::unique_ptr<Database> open_database(const std::string& where);

}  // namespace marvok::web_server
