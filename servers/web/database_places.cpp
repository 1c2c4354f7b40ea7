#include "database_places.h"

#include "postgres_database.h"
#include "sqlite_database.h"

namespace marvok::web_server {

std::unique_ptr<Database> open_database(const std::string& where) {
  if (names_postgresql(where)) return std::make_unique<database::PostgresDatabase>(where);
  return std::make_unique<SqliteDatabase>(where);
}

}  // namespace marvok::web_server
