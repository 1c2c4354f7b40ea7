#include "support/postgres_server.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <chrono>
#include <memory>
#include <string>

namespace marvok::testing {
namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

Connection connect(const std::string& url) { return {PQconnectdb(url.c_str()), PQfinish}; }

// The first field of the first row, or the error.
std::string value_of(PGconn* connection, const char* query) {
  const std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection, query), PQclear);
  if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) return PQerrorMessage(connection);
  return PQntuples(result.get()) > 0 ? PQgetvalue(result.get(), 0, 0) : "";
}

void run(PGconn* connection, const char* command) {
  const std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection, command), PQclear);
  ASSERT_EQ(PQresultStatus(result.get()), PGRES_COMMAND_OK) << PQerrorMessage(connection);
}

// Tests of a service that recovers take the server away and bring it back:
// clients must be refused at once meanwhile, then find the same data again.
TEST(PostgresServerTest, ComesBackWithItsDataOnTheSamePort) {
  PostgresServer& server = shared_postgres_server();
  server.create_database("restarted");
  const std::string url = server.url_of("restarted");
  {
    const Connection connection = connect(url);
    ASSERT_EQ(PQstatus(connection.get()), CONNECTION_OK) << PQerrorMessage(connection.get());
    EXPECT_EQ(value_of(connection.get(), "SELECT 1"), "1");
    run(connection.get(), "CREATE TABLE kept (value integer); INSERT INTO kept VALUES (42)");
  }

  server.stop();
  const auto before = std::chrono::steady_clock::now();
  const Connection refused = connect(url + "?connect_timeout=10");
  EXPECT_NE(PQstatus(refused.get()), CONNECTION_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));

  server.start();
  EXPECT_EQ(server.url_of("restarted"), url);
  const Connection again = connect(url);
  ASSERT_EQ(PQstatus(again.get()), CONNECTION_OK) << PQerrorMessage(again.get());
  EXPECT_EQ(value_of(again.get(), "SELECT value FROM kept"), "42");
}

// Each test asks for a database of its own and must find it empty, even when
// an earlier one of the same name still has a client.
TEST(PostgresServerTest, CreatedDatabaseIsNewAndEmpty) {
  PostgresServer& server = shared_postgres_server();
  server.create_database("fresh");
  const Connection earlier = connect(server.url_of("fresh"));
  ASSERT_EQ(PQstatus(earlier.get()), CONNECTION_OK) << PQerrorMessage(earlier.get());
  run(earlier.get(), "CREATE TABLE leftover (value integer)");

  server.create_database("fresh");
  const Connection connection = connect(server.url_of("fresh"));
  ASSERT_EQ(PQstatus(connection.get()), CONNECTION_OK) << PQerrorMessage(connection.get());
  EXPECT_EQ(value_of(connection.get(), "SELECT current_database()"), "fresh");
  EXPECT_EQ(value_of(connection.get(), "SELECT count(*) FROM pg_tables WHERE tablename = 'leftover'"), "0");
  EXPECT_EQ(value_of(connection.get(), "SELECT current_setting('server_encoding')"), "UTF8");
}

}  // namespace
}  // namespace marvok::testing
