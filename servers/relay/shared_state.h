#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "pairing_memory.h"
#include "relay_log.h"

namespace marvok::database {
class Database;
}

namespace marvok::relay_server {

// Members admitted behind one IPv4 address.
struct AddressMembers {
  std::uint32_t address = 0;
  std::uint32_t members = 0;
  friend bool operator==(const AddressMembers&, const AddressMembers&) = default;
};
// Sorted by address.
using AddressTable = std::vector<AddressMembers>;

// What the relay hosts behind one public address share, in a PostgreSQL
// database they all reach: the members each host admitted behind each
// address, so that a host answers lists to an address whose members are on
// another host and counts them against the cap; and the pairings each host
// learned, so that a host restarted finds control sockets another learned.
// Its own thread talks to the database: the event loops never wait for it.
// While the database cannot be reached, the others' admissions age out and
// each host goes on with what reaches it; the link comes back by itself.
class SharedState {
 public:
  // How often this host's admissions are written and the others' read, and
  // how long a host's rows count without being written again.
  static constexpr std::chrono::milliseconds kPeriod{500};
  static constexpr std::chrono::milliseconds kStale{3000};

  // `host` names this host among the others (its relay address).
  SharedState(std::string url, std::string host, std::FILE* log);
  SharedState(const SharedState&) = delete;
  SharedState& operator=(const SharedState&) = delete;
  ~SharedState();

  // Every host's pairings, waiting at most a connection's time: for a start.
  std::vector<Pairing> remembered_pairings();
  // Starts the thread.
  void start();

  // This host's admissions and pairings as they now stand.
  void report(AddressTable admitted);
  void report_pairings(std::vector<Pairing> pairings);
  // The other hosts' admissions; empty while the database has not answered
  // for kStale.
  std::shared_ptr<const AddressTable> others() const;

 private:
  void run(std::stop_token stop);
  // One round with the database: this host's news out, the others' in.
  void exchange(database::Database& database);
  void write_admissions(database::Database& database, const AddressTable& admitted);
  void publish(std::shared_ptr<const AddressTable> others);

  const std::string url_;
  const std::string host_;
  RelayLog log_;
  mutable std::mutex mutex_;
  AddressTable admitted_;
  std::optional<std::vector<Pairing>> pairings_;  // new since last written
  std::shared_ptr<const AddressTable> others_ = std::make_shared<AddressTable>();
  // What the database holds for this host, as this connection wrote it.
  AddressTable written_;
  bool connected_ = false;
  std::chrono::steady_clock::time_point last_answer_{};
  std::jthread thread_;
};

}  // namespace marvok::relay_server
