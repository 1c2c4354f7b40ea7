#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "database_places.h"

struct sqlite3;
struct sqlite3_stmt;

namespace marvok::web_server {

class SqliteStatement final : public Statement {
 public:
  SqliteStatement(sqlite3* database, std::string_view sql);
  ~SqliteStatement() override;

  Statement& bind(int index, std::int64_t value) override;
  Statement& bind(int index, std::string_view text) override;
  Statement& bind_blob(int index, std::string_view bytes) override;
  Statement& bind_null(int index) override;
  using Statement::bind;

  Step step() override;
  std::int64_t run() override;

  bool is_null(int column) const override;
  std::int64_t integer(int column) const override;
  std::string text(int column) const override;

 private:
  void check(int result, const char* doing) const;

  sqlite3* database_;
  sqlite3_stmt* statement_ = nullptr;
};

// One connection to an SQLite file, in write-ahead mode so that readers go on
// while another process writes.
class SqliteDatabase final : public Database {
 public:
  explicit SqliteDatabase(const std::string& path);
  ~SqliteDatabase() override;

  Engine engine() const override { return Engine::SQLite; }
  void execute(std::string_view sql) override;
  std::unique_ptr<Statement> prepare(std::string_view sql) override;
  void begin_write() override { execute("BEGIN IMMEDIATE"); }
  bool usable() override { return true; }

 private:
  sqlite3* database_ = nullptr;
};

}  // namespace marvok::web_server
