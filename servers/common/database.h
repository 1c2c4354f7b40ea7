#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace marvok::database {

// Any failure of the database: the message names what was being done.
class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The database cannot be reached or is too busy right now: the request may
// be tried again later, and nothing of it was written.
class DatabaseUnavailable : public DatabaseError {
 public:
  using DatabaseError::DatabaseError;
};

// One statement with '?' placeholders, numbered from 1. Texts and blobs bound
// are copied, so the caller's buffers may go at once.
class Statement {
 public:
  enum class Step { Row, Done };

  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  virtual ~Statement() = default;

  virtual Statement& bind(int index, std::int64_t value) = 0;
  virtual Statement& bind(int index, std::string_view text) = 0;
  virtual Statement& bind_blob(int index, std::string_view bytes) = 0;
  virtual Statement& bind_null(int index) = 0;
  Statement& bind(int index, int value) { return bind(index, static_cast<std::int64_t>(value)); }
  template <typename T>
  Statement& bind(int index, const std::optional<T>& value) {
    return value ? bind(index, *value) : bind_null(index);
  }

  virtual Step step() = 0;
  // Runs to the end, for statements that return no rows; the rows changed.
  virtual std::int64_t run() = 0;

  virtual bool is_null(int column) const = 0;
  virtual std::int64_t integer(int column) const = 0;
  virtual std::string text(int column) const = 0;  // texts and blobs alike
};

// One connection to a database: an SQLite file or a PostgreSQL server. The
// same SQL runs on both; where they differ, the caller asks `engine()`.
class Database {
 public:
  enum class Engine { SQLite, PostgreSQL };

  Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  virtual ~Database() = default;

  virtual Engine engine() const = 0;
  // Statements without parameters, separated by ';'.
  virtual void execute(std::string_view sql) = 0;
  virtual std::unique_ptr<Statement> prepare(std::string_view sql) = 0;
  // Starts a transaction that waits for every other writer, in this process
  // or another, so that what it reads stays true until it commits.
  virtual void begin_write() = 0;
  // False once the connection is known to be broken: it is not used again.
  virtual bool usable() = 0;
};

// A PostgreSQL URL (postgresql://… or postgres://…), as libpq takes it.
bool names_postgresql(std::string_view where);
// The place as it may be printed: a URL's password is left out.
std::string printable_place(std::string_view where);

// A write transaction that rolls back unless committed.
class WriteTransaction {
 public:
  explicit WriteTransaction(Database& database) : database_(database) { database_.begin_write(); }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  ~WriteTransaction();
  void commit();

 private:
  Database& database_;
  bool committed_ = false;
};

}  // namespace marvok::database
