#include "enrolment_limit.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "database_pool.h"

namespace marvok::web_server {

namespace {

constexpr std::int64_t kHour = 60 * 60 * 1000;
constexpr std::array<std::uint8_t, 12> kMappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

struct ParsedAddress {
  std::array<std::uint8_t, 16> bytes{};  // IPv4 in its mapped form
  bool loopback = false;
};

std::optional<ParsedAddress> parse(std::string_view text) {
  // A link-local IPv6 address comes with its interface ("fe80::1%eth0").
  const std::string address(text.substr(0, text.find('%')));
  ParsedAddress parsed;
  in_addr v4{};
  if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) {
    std::copy(kMappedPrefix.begin(), kMappedPrefix.end(), parsed.bytes.begin());
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&v4), 4, parsed.bytes.begin() + 12);
  } else if (in6_addr v6{}; ::inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&v6), 16, parsed.bytes.begin());
  } else {
    return std::nullopt;
  }
  const bool mapped = std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), parsed.bytes.begin());
  const bool v6_loopback =
      std::all_of(parsed.bytes.begin(), parsed.bytes.end() - 1, [](auto b) { return b == 0; }) && parsed.bytes[15] == 1;
  parsed.loopback = (mapped && parsed.bytes[12] == 127) || v6_loopback;
  // One subscriber's IPv6 network is a /64: its other 64 bits are the same source.
  if (!mapped) std::fill(parsed.bytes.begin() + 8, parsed.bytes.end(), 0);
  return parsed;
}

}  // namespace

std::int64_t EnrolmentLimit::now() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool EnrolmentLimit::allow(std::string_view address, std::int64_t now_ms) {
  const std::optional<ParsedAddress> parsed = parse(address);
  if (parsed && parsed->loopback && !limit_loopback_) return true;
  if (!parsed || per_hour_ <= 0) return false;
  // Each source keeps the time it will have everything back; an enrolment
  // pushes it one interval later, and is allowed while that stays within
  // `per_hour - 1` intervals of now. One statement, so two services counting
  // the same source at once cannot both take its last enrolment.
  const std::int64_t interval = kHour / per_hour_;
  const auto database = database_.lease();
  auto take = database->prepare(
      "INSERT INTO enrolment_allowances (source, full_at) VALUES (?, CAST(? AS BIGINT)) "
      "ON CONFLICT (source) DO UPDATE SET full_at = CASE WHEN enrolment_allowances.full_at > CAST(? AS BIGINT) "
      "THEN enrolment_allowances.full_at ELSE CAST(? AS BIGINT) END + CAST(? AS BIGINT) "
      "WHERE enrolment_allowances.full_at - CAST(? AS BIGINT) <= CAST(? AS BIGINT)");
  const std::string_view source(reinterpret_cast<const char*>(parsed->bytes.data()), parsed->bytes.size());
  take->bind_blob(1, source).bind(2, now_ms + interval).bind(3, now_ms).bind(4, now_ms).bind(5, interval);
  take->bind(6, now_ms).bind(7, (per_hour_ - 1) * interval);
  const bool allowed = take->run() > 0;
  if (allowed) forget_replenished(*database, now_ms);
  return allowed;
}

void EnrolmentLimit::forget_replenished(Database& database, std::int64_t now_ms) {
  // Sources with everything back are as good as new. Only sources that have
  // just enrolled are kept, so they number no more than the members enrolled
  // in the last hour.
  database.prepare("DELETE FROM enrolment_allowances WHERE full_at <= ?")->bind(1, now_ms).run();
}

}  // namespace marvok::web_server
