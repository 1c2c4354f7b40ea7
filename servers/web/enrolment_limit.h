#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "database_places.h"

namespace marvok::web_server {

class DatabasePool;

// How many new machines one source may enrol: an IPv4 address, or an IPv6
// /64 (what one subscriber usually holds), a few an hour by default, so that
// one address cannot use up the member numbers. Each source earns back one
// enrolment every hour / `per_hour` up to `per_hour` in hand. The counts live
// in the members' database, so every service on it counts the same source
// together. Loopback is left free unless asked, so that the machine's own
// clients and the tests enrol as many as they like.
class EnrolmentLimit {
 public:
  EnrolmentLimit(DatabasePool& database, int per_hour, bool limit_loopback)
      : database_(database), per_hour_(per_hour), limit_loopback_(limit_loopback) {}

  // Milliseconds since 1970: shared by the services on other machines.
  static std::int64_t now();

  // True, and counted, when a new machine from `address` (numeric, as the
  // connection came from) may be enrolled now. Throws DatabaseError when the
  // database cannot count it.
  bool allow(std::string_view address, std::int64_t now_ms = now());

 private:
  static void forget_replenished(Database& database, std::int64_t now_ms);

  DatabasePool& database_;
  int per_hour_;
  bool limit_loopback_;
};

}  // namespace marvok::web_server
