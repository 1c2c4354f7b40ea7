#pragma once

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "database_places.h"

namespace marvok::web_server {

// Connections to one database, each used by one thread at a time. SQLite
// keeps one, which its callers take in turns; PostgreSQL up to one per
// serving thread, opened when first needed. A connection found broken is
// dropped and the next caller opens a new one, so the service carries on by
// itself once the database is back.
class DatabasePool {
 public:
  // Opens the first connection at once, so that a wrong place is told now.
  DatabasePool(std::string where, std::size_t most_postgresql_connections);
  DatabasePool(const DatabasePool&) = delete;
  DatabasePool& operator=(const DatabasePool&) = delete;

  class Lease {
   public:
    Lease(DatabasePool& pool, std::unique_ptr<Database> connection) : pool_(pool), connection_(std::move(connection)) {}
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease() { pool_.give_back(std::move(connection_)); }
    Database& operator*() const { return *connection_; }
    Database* operator->() const { return connection_.get(); }

   private:
    DatabasePool& pool_;
    std::unique_ptr<Database> connection_;
  };

  // Waits for a free connection, or opens one; DatabaseUnavailable when the
  // database cannot be reached.
  Lease lease();
  const std::string& where() const { return where_; }

 private:
  void give_back(std::unique_ptr<Database> connection);

  const std::string where_;
  const std::size_t most_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<std::unique_ptr<Database>> idle_;
  std::size_t open_ = 0;  // idle and leased
};

}  // namespace marvok::web_server
