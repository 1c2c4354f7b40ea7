#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace marvok::web_server {

// Any failure of the database: the message names what was being done.
class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One prepared statement. Texts and blobs bound are copied by SQLite, so the
// caller's buffers may go at once.
class SqliteStatement {
 public:
  enum class Step { Row, Done };

  SqliteStatement(sqlite3* database, std::string_view sql);
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  ~SqliteStatement();

  SqliteStatement& bind(int index, std::int64_t value);
  SqliteStatement& bind(int index, std::string_view text);
  SqliteStatement& bind_blob(int index, std::string_view bytes);
  SqliteStatement& bind_null(int index);
  template <typename T>
  SqliteStatement& bind(int index, const std::optional<T>& value) {
    return value ? bind(index, *value) : bind_null(index);
  }

  Step step();
  // Runs to the end, for statements that return no rows.
  void run();
  // Ready to run again with new bindings.
  void reset();

  bool is_null(int column) const;
  std::int64_t integer(int column) const;
  std::string text(int column) const;  // texts and blobs alike

 private:
  void check(int result, const char* doing) const;

  sqlite3* database_;
  sqlite3_stmt* statement_ = nullptr;
};

class SqliteDatabase {
 public:
  explicit SqliteDatabase(const std::string& path);
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;
  ~SqliteDatabase();

  void execute(std::string_view sql);
  SqliteStatement prepare(std::string_view sql) { return SqliteStatement(database_, sql); }
  std::int64_t changes() const;

 private:
  sqlite3* database_ = nullptr;
};

}  // namespace marvok::web_server
