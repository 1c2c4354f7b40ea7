#include "shared_state.h"

#include <algorithm>
#include <map>

#include "platform/worker_threads.h"
#include "postgres_database.h"

namespace marvok::relay_server {

namespace {

using database::Database;
using database::DatabaseError;
using database::Statement;
using database::WriteTransaction;

constexpr std::string_view kTables = R"sql(
CREATE TABLE IF NOT EXISTS relay_admissions (
  host TEXT NOT NULL,
  address BIGINT NOT NULL,
  members INTEGER NOT NULL,
  seen_at BIGINT NOT NULL,
  PRIMARY KEY (host, address));
CREATE TABLE IF NOT EXISTS relay_pairings (
  host TEXT NOT NULL,
  voice_address BIGINT NOT NULL,
  voice_port INTEGER NOT NULL,
  control_address BIGINT NOT NULL,
  control_port INTEGER NOT NULL,
  PRIMARY KEY (host, voice_address, voice_port)))sql";

// Times come from the database's clock, so that the hosts' clocks need not agree.
constexpr std::string_view kNow = "CAST(extract(epoch FROM clock_timestamp()) * 1000 AS BIGINT)";

std::unique_ptr<Database> connect(const std::string& url) {
  auto database = std::make_unique<database::PostgresDatabase>(url);
  // Two hosts starting at once would both make the tables: one waits.
  WriteTransaction transaction(*database);
  database->execute(kTables);
  transaction.commit();
  return database;
}

}  // namespace

SharedState::SharedState(std::string url, std::string host, std::FILE* log)
    : url_(std::move(url)), host_(std::move(host)), log_(log) {}

SharedState::~SharedState() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

std::vector<Pairing> SharedState::remembered_pairings() {
  std::vector<Pairing> pairings;
  try {
    const auto database = connect(url_);
    auto rows = database->prepare(
        "SELECT voice_address, voice_port, control_address, control_port FROM relay_pairings ORDER BY host <> ?");
    rows->bind(1, std::string_view(host_));
    while (rows->step() == Statement::Step::Row) {
      const auto endpoint = [&](int column) {
        return platform::Endpoint{static_cast<std::uint32_t>(rows->integer(column)),
                                  static_cast<std::uint16_t>(rows->integer(column + 1))};
      };
      pairings.push_back({endpoint(0), endpoint(2)});
    }
  } catch (const DatabaseError& failure) {
    log_.write("shared state: no pairings from the database: %s", failure.what());
  }
  return pairings;
}

void SharedState::start() {
  thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

void SharedState::report(AddressTable admitted) {
  std::lock_guard lock(mutex_);
  admitted_ = std::move(admitted);
}

void SharedState::report_pairings(std::vector<Pairing> pairings) {
  std::lock_guard lock(mutex_);
  pairings_ = std::move(pairings);
}

std::shared_ptr<const AddressTable> SharedState::others() const {
  std::lock_guard lock(mutex_);
  return others_;
}

void SharedState::publish(std::shared_ptr<const AddressTable> others) {
  std::lock_guard lock(mutex_);
  others_ = std::move(others);
}

void SharedState::run(std::stop_token stop) {
  std::unique_ptr<Database> database;
  do {
    try {
      if (!database) {
        database = connect(url_);
        written_.clear();
        // What an earlier run of this host left is no longer true.
        database->prepare("DELETE FROM relay_admissions WHERE host = ?")->bind(1, std::string_view(host_)).run();
        if (!connected_) log_.write("shared state: connected");
        connected_ = true;
        std::lock_guard lock(mutex_);
        if (!pairings_) pairings_.emplace();  // written again on this connection
      }
      exchange(*database);
      last_answer_ = std::chrono::steady_clock::now();
    } catch (const DatabaseError& failure) {
      if (connected_) log_.write("shared state: the database is away (%s); each host goes on alone", failure.what());
      connected_ = false;
      database.reset();
    }
    if (std::chrono::steady_clock::now() - last_answer_ > kStale && !others()->empty())
      publish(std::make_shared<AddressTable>());
  } while (marvok::sleep_unless_stopped(stop, kPeriod));
}

void SharedState::exchange(Database& database) {
  AddressTable admitted;
  std::optional<std::vector<Pairing>> pairings;
  {
    std::lock_guard lock(mutex_);
    admitted = admitted_;
    pairings.swap(pairings_);
  }
  write_admissions(database, admitted);
  if (pairings) {
    WriteTransaction transaction(database);
    database.prepare("DELETE FROM relay_pairings WHERE host = ?")->bind(1, std::string_view(host_)).run();
    for (const Pairing& pairing : *pairings) {
      auto insert = database.prepare(
          "INSERT INTO relay_pairings (host, voice_address, voice_port, control_address, control_port) "
          "VALUES (?, ?, ?, ?, ?) ON CONFLICT DO NOTHING");
      insert->bind(1, std::string_view(host_)).bind(2, std::int64_t{pairing.voice.address});
      insert->bind(3, std::int64_t{pairing.voice.port}).bind(4, std::int64_t{pairing.control.address});
      insert->bind(5, std::int64_t{pairing.control.port}).run();
    }
    transaction.commit();
  }
  auto rows = database.prepare(
      "SELECT address, CAST(sum(members) AS BIGINT) FROM relay_admissions WHERE host <> ? AND "
      "seen_at > " +
      std::string(kNow) + " - ? GROUP BY address ORDER BY address");
  rows->bind(1, std::string_view(host_)).bind(2, std::int64_t{kStale.count()});
  auto others = std::make_shared<AddressTable>();
  while (rows->step() == Statement::Step::Row)
    others->push_back({static_cast<std::uint32_t>(rows->integer(0)), static_cast<std::uint32_t>(rows->integer(1))});
  publish(std::move(others));
}

void SharedState::write_admissions(Database& database, const AddressTable& admitted) {
  // Only what changed is written; the rest is dated again in one statement.
  WriteTransaction transaction(database);
  std::map<std::uint32_t, std::uint32_t> before;
  for (const AddressMembers& entry : written_) before[entry.address] = entry.members;
  for (const AddressMembers& entry : admitted) {
    const auto found = before.find(entry.address);
    if (found != before.end() && found->second == entry.members) {
      before.erase(found);
      continue;
    }
    if (found != before.end()) before.erase(found);
    auto upsert =
        database.prepare("INSERT INTO relay_admissions (host, address, members, seen_at) VALUES (?, ?, ?, " +
                         std::string(kNow) + ") ON CONFLICT (host, address) DO UPDATE SET members = excluded.members");
    upsert->bind(1, std::string_view(host_)).bind(2, std::int64_t{entry.address});
    upsert->bind(3, std::int64_t{entry.members}).run();
  }
  for (const auto& [address, members] : before) {
    database.prepare("DELETE FROM relay_admissions WHERE host = ? AND address = ?")
        ->bind(1, std::string_view(host_))
        .bind(2, std::int64_t{address})
        .run();
  }
  database.prepare("UPDATE relay_admissions SET seen_at = " + std::string(kNow) + " WHERE host = ?")
      ->bind(1, std::string_view(host_))
      .run();
  transaction.commit();
  written_ = admitted;
}

}  // namespace marvok::relay_server
