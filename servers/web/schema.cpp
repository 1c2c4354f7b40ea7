#include "schema.h"

#include <array>
#include <string>
#include <string_view>

namespace marvok::web_server {

namespace {

// Step n brings version n to n + 1. Written once for both engines: {blob} is
// the engine's name for bytes, {now} the time the step runs.
constexpr std::array<std::string_view, kSchemaVersion> kSteps = {
    // Members with their cards and pictures, and each channel's shared picture.
    R"sql(
CREATE TABLE IF NOT EXISTS members (
  number INTEGER PRIMARY KEY CHECK (number BETWEEN 1 AND 65535),
  machine TEXT UNIQUE,
  name TEXT NOT NULL,
  first_name TEXT NOT NULL DEFAULT '',
  nickname TEXT NOT NULL DEFAULT '',
  city TEXT NOT NULL DEFAULT '',
  phrase TEXT NOT NULL DEFAULT '',
  day TEXT NOT NULL DEFAULT '',
  email TEXT NOT NULL DEFAULT '',
  folder TEXT NOT NULL DEFAULT '',
  background BIGINT,
  picture {blob},
  picture_version BIGINT NOT NULL DEFAULT 0,
  picture_small {blob},
  picture_large {blob});
CREATE TABLE IF NOT EXISTS shared_pictures (
  channel INTEGER PRIMARY KEY CHECK (channel BETWEEN 0 AND 10),
  file_name {blob} NOT NULL,
  content_type TEXT NOT NULL,
  data {blob} NOT NULL))sql",
    // When each machine last signed in; those enrolled before count as seen now.
    R"sql(
ALTER TABLE members ADD COLUMN last_seen BIGINT;
UPDATE members SET last_seen = {now} WHERE machine IS NOT NULL)sql",
    // Enrolments each source may still make, shared by every process: the
    // time, in milliseconds, at which the source has all of them back.
    R"sql(
CREATE TABLE enrolment_allowances (
  source {blob} PRIMARY KEY,
  full_at BIGINT NOT NULL))sql",
};

std::string with_engine(std::string_view step, Database::Engine engine, std::int64_t now) {
  std::string sql(step);
  const auto replace = [&](std::string_view token, const std::string& value) {
    for (auto at = sql.find(token); at != std::string::npos; at = sql.find(token, at + value.size()))
      sql.replace(at, token.size(), value);
  };
  replace("{blob}", engine == Database::Engine::PostgreSQL ? "BYTEA" : "BLOB");
  replace("{now}", std::to_string(now));
  return sql;
}

// A file made before versions were kept: its tables tell how far it got.
int version_of_unnumbered_file(Database& database) {
  auto members = database.prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'members'");
  if (members->step() != Statement::Step::Row || members->integer(0) == 0) return 0;
  auto columns = database.prepare("SELECT count(*) FROM pragma_table_info('members') WHERE name = 'last_seen'");
  return columns->step() == Statement::Step::Row && columns->integer(0) > 0 ? 2 : 1;
}

// The version the database says it is at, its statements done before any
// table changes.
int current_version(Database& database) {
  auto read = database.prepare("SELECT version FROM schema_version");
  if (read->step() == Statement::Step::Row) return static_cast<int>(read->integer(0));
  return database.engine() == Database::Engine::SQLite ? version_of_unnumbered_file(database) : 0;
}

}  // namespace

void bring_schema_up_to_date(Database& database, std::int64_t now) {
  WriteTransaction transaction(database);
  database.execute("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
  const int version = current_version(database);
  if (version > kSchemaVersion) {
    throw DatabaseError("the database is at version " + std::to_string(version) + ", newer than this marvok-web (" +
                        std::to_string(kSchemaVersion) + "): it is left as it is; serve it with a newer marvok-web");
  }
  if (version == kSchemaVersion) {
    transaction.commit();
    return;
  }
  for (int step = version; step < kSchemaVersion; ++step)
    database.execute(with_engine(kSteps[static_cast<std::size_t>(step)], database.engine(), now));
  database.execute("DELETE FROM schema_version");
  database.prepare("INSERT INTO schema_version (version) VALUES (?)")->bind(1, kSchemaVersion).run();
  transaction.commit();
}

}  // namespace marvok::web_server
