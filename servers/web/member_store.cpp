#include "member_store.h"

#include <chrono>

#include "schema.h"

namespace marvok::web_server {

namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

// The card's columns, in the order of CardField.
constexpr std::string_view kMemberColumns =
    "number, machine, name, first_name, nickname, city, phrase, day, email, folder, background";

Member read_member(const Statement& row) {
  Member member;
  member.number = static_cast<int>(row.integer(0));
  if (!row.is_null(1)) member.machine = row.text(1);
  member.name = row.text(2);
  for (std::size_t i = 0; i < kCardFieldCount; ++i) member.card[i] = row.text(static_cast<int>(3 + i));
  if (!row.is_null(10)) member.background = static_cast<std::uint32_t>(row.integer(10));
  return member;
}

std::optional<std::int64_t> as_column(const std::optional<std::uint32_t>& value) {
  if (!value) return std::nullopt;
  return static_cast<std::int64_t>(*value);
}

std::optional<Member> member_by_number(Database& database, int number) {
  auto query = database.prepare("SELECT " + std::string(kMemberColumns) + " FROM members WHERE number = ?");
  query->bind(1, number);
  if (query->step() != Statement::Step::Row) return std::nullopt;
  return read_member(*query);
}

std::optional<Member> member_by_machine(Database& database, std::string_view machine) {
  auto query = database.prepare("SELECT " + std::string(kMemberColumns) + " FROM members WHERE machine = ?");
  query->bind(1, machine);
  if (query->step() != Statement::Step::Row) return std::nullopt;
  return read_member(*query);
}

std::optional<int> free_number(Database& database) {
  auto query = database.prepare(
      "SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM members WHERE number = 1) "
      "UNION ALL SELECT number + 1 FROM members AS m WHERE number < 65535 "
      "AND NOT EXISTS (SELECT 1 FROM members WHERE number = m.number + 1) ORDER BY 1 LIMIT 1");
  if (query->step() != Statement::Step::Row) return std::nullopt;
  return static_cast<int>(query->integer(0));
}

void insert_default(Database& database, int number, const std::optional<std::string>& machine, std::int64_t now) {
  const Member member = default_member(number);
  auto insert = database.prepare(
      "INSERT INTO members (number, machine, name, first_name, nickname, city, phrase, day, email, folder, "
      "background, picture, last_seen) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert->bind(1, number).bind(2, machine).bind(3, member.name);
  for (std::size_t i = 0; i < kCardFieldCount; ++i) insert->bind(static_cast<int>(4 + i), member.card[i]);
  insert->bind(11, as_column(member.background)).bind_blob(12, default_member_picture(number)).bind(13, now);
  insert->run();
}

}  // namespace

MemberStore::MemberStore(const std::string& where) : pool_(where, kConnections) {
  bring_schema_up_to_date(*pool_.lease(), unix_now());
}

std::int64_t MemberStore::unix_now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::optional<Member> MemberStore::identify(std::string_view machine) {
  if (auto known = sign_in(machine)) return known;
  return enrol(machine);
}

std::optional<Member> MemberStore::sign_in(std::string_view machine, std::int64_t now) {
  const auto database = pool_.lease();
  std::optional<Member> known = member_by_machine(*database, machine);
  if (!known) return std::nullopt;
  // Dated once a day at most, and only then is the database written: signing
  // in stays a read that another process's write does not hold up.
  auto last = database->prepare("SELECT last_seen FROM members WHERE number = ?");
  last->bind(1, known->number);
  if (last->step() == Statement::Step::Row && !last->is_null(0) && last->integer(0) >= now - kSecondsPerDay)
    return known;
  try {
    database->prepare("UPDATE members SET last_seen = ? WHERE number = ?")->bind(1, now).bind(2, known->number).run();
  } catch (const DatabaseError&) {
    // The date waits for the next sign-in; the member is signed in all the same.
  }
  return known;
}

std::optional<Member> MemberStore::enrol(std::string_view machine, std::int64_t now) {
  const auto database = pool_.lease();
  WriteTransaction transaction(*database);
  // Looked up again inside the transaction: another process may have enrolled it.
  if (auto known = member_by_machine(*database, machine)) return known;
  const std::optional<int> number = free_number(*database);
  if (!number) return std::nullopt;
  insert_default(*database, *number, std::string(machine), now);
  transaction.commit();
  return member_by_number(*database, *number);
}

int MemberStore::forget_unseen(std::int64_t seen_before) {
  const auto database = pool_.lease();
  WriteTransaction transaction(*database);
  auto forget = database->prepare("DELETE FROM members WHERE machine IS NOT NULL AND last_seen < ?");
  // The date is written once a day: a machine may have signed in up to a day after it.
  const auto forgotten = static_cast<int>(forget->bind(1, seen_before - kSecondsPerDay).run());
  transaction.commit();
  return forgotten;
}

std::optional<Member> MemberStore::find(int number) { return member_by_number(*pool_.lease(), number); }

std::optional<Member> MemberStore::find_by_machine(std::string_view machine) {
  return member_by_machine(*pool_.lease(), machine);
}

std::vector<Member> MemberStore::members() {
  const auto database = pool_.lease();
  auto query = database->prepare("SELECT " + std::string(kMemberColumns) + " FROM members ORDER BY number");
  std::vector<Member> all;
  while (query->step() == Statement::Step::Row) all.push_back(read_member(*query));
  return all;
}

Member MemberStore::create(int number) {
  const auto database = pool_.lease();
  WriteTransaction transaction(*database);
  insert_default(*database, number, std::nullopt, unix_now());
  transaction.commit();
  return *member_by_number(*database, number);
}

void MemberStore::save(const Member& member) {
  const auto database = pool_.lease();
  auto update = database->prepare(
      "UPDATE members SET machine = ?, name = ?, first_name = ?, nickname = ?, city = ?, phrase = ?, day = ?, "
      "email = ?, folder = ?, background = ?, last_seen = ? WHERE number = ?");
  update->bind(1, member.machine).bind(2, member.name);
  for (std::size_t i = 0; i < kCardFieldCount; ++i) update->bind(static_cast<int>(3 + i), member.card[i]);
  // A member the operator has just edited counts as seen: not one to forget.
  update->bind(10, as_column(member.background)).bind(11, unix_now()).bind(12, member.number);
  update->run();
}

bool MemberStore::set_background(int number, std::optional<std::uint32_t> background) {
  const auto database = pool_.lease();
  auto update = database->prepare("UPDATE members SET background = ? WHERE number = ?");
  return update->bind(1, as_column(background)).bind(2, number).run() > 0;
}

void MemberStore::set_picture(int number, std::string_view original) {
  const auto database = pool_.lease();
  auto update = database->prepare(
      "UPDATE members SET picture = ?, picture_version = picture_version + 1, picture_small = NULL, "
      "picture_large = NULL WHERE number = ?");
  update->bind_blob(1, original).bind(2, number).run();
}

std::optional<std::string> MemberStore::picture(int number, PictureSize size) {
  const std::string_view cache = size == PictureSize::Small ? "picture_small" : "picture_large";
  std::string original;
  std::int64_t version = 0;
  {
    const auto database = pool_.lease();
    auto query =
        database->prepare("SELECT picture, picture_version, " + std::string(cache) + " FROM members WHERE number = ?");
    query->bind(1, number);
    if (query->step() != Statement::Step::Row || query->is_null(0)) return std::nullopt;
    if (!query->is_null(2)) return query->text(2);
    original = query->text(0);
    version = query->integer(1);
  }
  // Scaled without a connection, so other requests go on meanwhile; kept
  // only if the picture was not replaced in between.
  std::optional<std::string> scaled = scaled_png(original, size);
  if (!scaled) return std::nullopt;
  const auto database = pool_.lease();
  auto update =
      database->prepare("UPDATE members SET " + std::string(cache) + " = ? WHERE number = ? AND picture_version = ?");
  update->bind_blob(1, *scaled).bind(2, number).bind(3, version).run();
  return scaled;
}

std::size_t MemberStore::picture_bytes(int number) {
  const auto database = pool_.lease();
  auto query = database->prepare("SELECT length(picture) FROM members WHERE number = ?");
  query->bind(1, number);
  if (query->step() != Statement::Step::Row || query->is_null(0)) return 0;
  return static_cast<std::size_t>(query->integer(0));
}

void MemberStore::set_shared_picture(int channel, const SharedPicture& picture) {
  const auto database = pool_.lease();
  auto replace = database->prepare(
      "INSERT INTO shared_pictures (channel, file_name, content_type, data) VALUES (?, ?, ?, ?) "
      "ON CONFLICT (channel) DO UPDATE SET file_name = excluded.file_name, content_type = excluded.content_type, "
      "data = excluded.data");
  replace->bind(1, channel).bind_blob(2, picture.file_name).bind(3, picture.content_type).bind_blob(4, picture.data);
  replace->run();
}

std::optional<SharedPicture> MemberStore::shared_picture(int channel) {
  const auto database = pool_.lease();
  auto query = database->prepare("SELECT file_name, content_type, data FROM shared_pictures WHERE channel = ?");
  query->bind(1, channel);
  if (query->step() != Statement::Step::Row) return std::nullopt;
  return SharedPicture{query->text(0), query->text(1), query->text(2)};
}

}  // namespace marvok::web_server
