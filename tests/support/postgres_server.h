#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace marvok::testing {

// A PostgreSQL server of the test program's own: a new cluster in a temporary
// folder, on 127.0.0.1 and a free port, made and started by
// scripts/test-postgres.sh. The superuser marvok connects without a password.
// The destructor stops it and removes the folder; should the program die
// first, the script removes them once it has ended. Failures throw
// std::runtime_error with what the script said.
class PostgresServer {
 public:
  PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;
  ~PostgresServer();

  // The maintenance database "postgres".
  const std::string& url() const { return url_; }
  std::string url_of(const std::string& database) const;
  std::uint16_t port() const { return port_; }

  // A new, empty database; one of that name is dropped first, even with
  // clients connected to it. Letters, digits and underscores only.
  void create_database(const std::string& name);

  // Takes the server away, then brings it back on the same port with the same
  // databases, for tests of a service that must recover.
  void stop();
  void start();

 private:
  std::filesystem::path folder_;
  std::string url_;
  std::uint16_t port_ = 0;
};

// One server for the whole test program, started on first use.
PostgresServer& shared_postgres_server();

}  // namespace marvok::testing
