#include "database.h"

namespace marvok::database {

bool names_postgresql(std::string_view where) {
  return where.starts_with("postgresql://") || where.starts_with("postgres://");
}

std::string printable_place(std::string_view where) {
  if (!names_postgresql(where)) return std::string(where);
  const auto user = where.find("://") + 3;
  const auto at = where.find('@', user);
  const auto colon = where.find(':', user);
  if (at == std::string_view::npos || colon == std::string_view::npos || colon > at) return std::string(where);
  return std::string(where.substr(0, colon)) + std::string(where.substr(at));
}

WriteTransaction::~WriteTransaction() {
  if (committed_) return;
  try {
    database_.execute("ROLLBACK");
  } catch (const DatabaseError&) {
    // A broken connection has rolled back by itself, and is not used again.
  }
}

void WriteTransaction::commit() {
  database_.execute("COMMIT");
  committed_ = true;
}

}  // namespace marvok::database
