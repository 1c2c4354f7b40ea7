#include "sqlite_database.h"

#include <sqlite3.h>

namespace marvok::web_server {

SqliteStatement::SqliteStatement(sqlite3* database, std::string_view sql) : database_(database) {
  check(sqlite3_prepare_v2(database_, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr), "prepare");
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

Statement& SqliteStatement::bind(int index, std::int64_t value) {
  check(sqlite3_bind_int64(statement_, index, value), "bind");
  return *this;
}

Statement& SqliteStatement::bind(int index, std::string_view text) {
  check(sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8), "bind");
  return *this;
}

Statement& SqliteStatement::bind_blob(int index, std::string_view bytes) {
  // A zero-length blob still needs a non-null pointer to be a blob, not NULL.
  static constexpr char kNothing = 0;
  check(
      sqlite3_bind_blob64(statement_, index, bytes.empty() ? &kNothing : bytes.data(), bytes.size(), SQLITE_TRANSIENT),
      "bind");
  return *this;
}

Statement& SqliteStatement::bind_null(int index) {
  check(sqlite3_bind_null(statement_, index), "bind");
  return *this;
}

SqliteStatement::Step SqliteStatement::step() {
  const int result = sqlite3_step(statement_);
  if (result == SQLITE_ROW) return Step::Row;
  if (result == SQLITE_DONE) return Step::Done;
  check(result, "step");
  return Step::Done;
}

std::int64_t SqliteStatement::run() {
  while (step() == Step::Row) {
  }
  return sqlite3_changes64(database_);
}

bool SqliteStatement::is_null(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

std::int64_t SqliteStatement::integer(int column) const { return sqlite3_column_int64(statement_, column); }

std::string SqliteStatement::text(int column) const {
  const void* bytes = sqlite3_column_blob(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  if (bytes == nullptr || size <= 0) return {};
  return std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size));
}

void SqliteStatement::check(int result, const char* doing) const {
  if (result == SQLITE_OK) return;
  const std::string message = std::string("database ") + doing + ": " + sqlite3_errmsg(database_);
  // Another process held the file past the wait: worth trying again later.
  if (result == SQLITE_BUSY || result == SQLITE_LOCKED) throw DatabaseUnavailable(message);
  throw DatabaseError(message);
}

SqliteDatabase::SqliteDatabase(const std::string& path) {
  const int result = sqlite3_open_v2(path.c_str(), &database_,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (result != SQLITE_OK) {
    std::string message = "cannot open the database " + path + ": " +
                          (database_ != nullptr ? sqlite3_errmsg(database_) : sqlite3_errstr(result));
    sqlite3_close(database_);
    throw DatabaseError(message);
  }
  // The operator's commands write while the service runs: wait for each other.
  sqlite3_busy_timeout(database_, 5000);
  try {
    execute("PRAGMA journal_mode = WAL");
  } catch (...) {
    sqlite3_close(database_);
    throw;
  }
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close(database_); }

void SqliteDatabase::execute(std::string_view sql) {
  char* message = nullptr;
  const std::string statement(sql);
  const int result = sqlite3_exec(database_, statement.c_str(), nullptr, nullptr, &message);
  if (result != SQLITE_OK) {
    const std::string text = "database: " + std::string(message != nullptr ? message : "unknown error");
    sqlite3_free(message);
    if (result == SQLITE_BUSY || result == SQLITE_LOCKED) throw DatabaseUnavailable(text);
    throw DatabaseError(text);
  }
}

std::unique_ptr<Statement> SqliteDatabase::prepare(std::string_view sql) {
  return std::make_unique<SqliteStatement>(database_, sql);
}

}  // namespace marvok::web_server
