#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "database.h"

struct pg_conn;
struct pg_result;

namespace marvok::database {

// One connection to a PostgreSQL server. Statements are prepared once per
// connection and their rows come back in binary, so blobs arrive as they are.
class PostgresDatabase final : public Database {
 public:
  // Gives up within about a second and a half, so that a request waiting on
  // an unreachable server is answered before the client's own time-out.
  explicit PostgresDatabase(const std::string& url);
  ~PostgresDatabase() override;

  Engine engine() const override { return Engine::PostgreSQL; }
  void execute(std::string_view sql) override;
  std::unique_ptr<Statement> prepare(std::string_view sql) override;
  void begin_write() override;
  bool usable() override;

 private:
  struct Prepared {
    std::string name;
    int parameters = 0;
  };

  pg_conn* connection_ = nullptr;
  std::unordered_map<std::string, Prepared> prepared_;
};

// The SQL with its '?' placeholders numbered as PostgreSQL writes them
// ($1, $2…), and how many there are; quoted text is left alone.
std::pair<std::string, int> numbered_placeholders(std::string_view sql);

}  // namespace marvok::database
