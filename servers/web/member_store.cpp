#include "member_store.h"

#include <chrono>

namespace marvok::web_server {

namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

constexpr std::string_view kSchema = R"sql(
PRAGMA journal_mode = WAL;
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
  background INTEGER,
  picture BLOB,
  picture_version INTEGER NOT NULL DEFAULT 0,
  picture_small BLOB,
  picture_large BLOB);
CREATE TABLE IF NOT EXISTS shared_pictures (
  channel INTEGER PRIMARY KEY CHECK (channel BETWEEN 0 AND 10),
  file_name BLOB NOT NULL,
  content_type TEXT NOT NULL,
  data BLOB NOT NULL);
)sql";

// The card's columns, in the order of CardField.
constexpr std::string_view kMemberColumns =
    "number, machine, name, first_name, nickname, city, phrase, day, email, folder, background";

Member read_member(const SqliteStatement& row) {
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

// Writes wait for the other process's lock; a failure rolls everything back.
class WriteTransaction {
 public:
  explicit WriteTransaction(SqliteDatabase& database) : database_(database) { database_.execute("BEGIN IMMEDIATE"); }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  ~WriteTransaction() {
    if (!committed_) {
      try {
        database_.execute("ROLLBACK");
      } catch (const DatabaseError&) {
        // Nothing more can be done; SQLite rolls back by itself when it can.
      }
    }
  }
  void commit() {
    database_.execute("COMMIT");
    committed_ = true;
  }

 private:
  SqliteDatabase& database_;
  bool committed_ = false;
};

}  // namespace

MemberStore::MemberStore(const std::string& path) : database_(path) {
  database_.execute(kSchema);
  // When each machine last signed in; members enrolled before it was kept
  // count as seen when it first is.
  // Checked inside the transaction, so that two processes opening an old
  // file at once do not both add the column.
  WriteTransaction transaction(database_);
  bool has_last_seen = false;
  SqliteStatement columns = database_.prepare("PRAGMA table_info(members)");
  while (columns.step() == SqliteStatement::Step::Row) has_last_seen = has_last_seen || columns.text(1) == "last_seen";
  if (!has_last_seen) {
    database_.execute("ALTER TABLE members ADD COLUMN last_seen INTEGER");
    database_.execute(
        "UPDATE members SET last_seen = CAST(strftime('%s', 'now') AS INTEGER) WHERE machine IS NOT NULL");
  }
  transaction.commit();
}

std::int64_t MemberStore::unix_now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::optional<Member> MemberStore::identify(std::string_view machine) {
  if (auto known = sign_in(machine)) return known;
  return enrol(machine);
}

std::optional<Member> MemberStore::sign_in(std::string_view machine, std::int64_t now) {
  std::lock_guard lock(mutex_);
  std::optional<Member> known = member_by_machine(machine);
  if (!known) return std::nullopt;
  // Dated once a day at most, and only then is the file written: signing in
  // stays a read that another process's write does not hold up.
  SqliteStatement last = database_.prepare("SELECT last_seen FROM members WHERE number = ?");
  last.bind(1, known->number);
  if (last.step() == SqliteStatement::Step::Row && !last.is_null(0) && last.integer(0) >= now - kSecondsPerDay)
    return known;
  try {
    SqliteStatement seen = database_.prepare("UPDATE members SET last_seen = ? WHERE number = ?");
    seen.bind(1, now).bind(2, known->number).run();
  } catch (const DatabaseError&) {
    // The date waits for the next sign-in; the member is signed in all the same.
  }
  return known;
}

std::optional<Member> MemberStore::enrol(std::string_view machine, std::int64_t now) {
  std::lock_guard lock(mutex_);
  WriteTransaction transaction(database_);
  // Looked up again inside the transaction: another process may have enrolled it.
  if (auto known = member_by_machine(machine)) return known;
  const std::optional<int> number = free_number();
  if (!number) return std::nullopt;
  insert_default(*number, std::string(machine), now);
  transaction.commit();
  return member_by_number(*number);
}

int MemberStore::forget_unseen(std::int64_t seen_before) {
  std::lock_guard lock(mutex_);
  WriteTransaction transaction(database_);
  SqliteStatement forget = database_.prepare("DELETE FROM members WHERE machine IS NOT NULL AND last_seen < ?");
  // The date is written once a day: a machine may have signed in up to a day after it.
  forget.bind(1, seen_before - kSecondsPerDay);
  forget.run();
  const auto forgotten = static_cast<int>(database_.changes());
  transaction.commit();
  return forgotten;
}

std::optional<Member> MemberStore::find(int number) {
  std::lock_guard lock(mutex_);
  return member_by_number(number);
}

std::optional<Member> MemberStore::find_by_machine(std::string_view machine) {
  std::lock_guard lock(mutex_);
  return member_by_machine(machine);
}

std::vector<Member> MemberStore::members() {
  std::lock_guard lock(mutex_);
  SqliteStatement query = database_.prepare("SELECT " + std::string(kMemberColumns) + " FROM members ORDER BY number");
  std::vector<Member> all;
  while (query.step() == SqliteStatement::Step::Row) all.push_back(read_member(query));
  return all;
}

Member MemberStore::create(int number) {
  std::lock_guard lock(mutex_);
  WriteTransaction transaction(database_);
  insert_default(number, std::nullopt, unix_now());
  transaction.commit();
  return *member_by_number(number);
}

void MemberStore::save(const Member& member) {
  std::lock_guard lock(mutex_);
  SqliteStatement update = database_.prepare(
      "UPDATE members SET machine = ?, name = ?, first_name = ?, nickname = ?, city = ?, phrase = ?, day = ?, "
      "email = ?, folder = ?, background = ?, last_seen = ? WHERE number = ?");
  update.bind(1, member.machine).bind(2, member.name);
  for (std::size_t i = 0; i < kCardFieldCount; ++i) update.bind(static_cast<int>(3 + i), member.card[i]);
  // A member the operator has just edited counts as seen: not one to forget.
  update.bind(10, as_column(member.background)).bind(11, unix_now()).bind(12, member.number);
  update.run();
}

bool MemberStore::set_background(int number, std::optional<std::uint32_t> background) {
  std::lock_guard lock(mutex_);
  SqliteStatement update = database_.prepare("UPDATE members SET background = ? WHERE number = ?");
  update.bind(1, as_column(background)).bind(2, number).run();
  return database_.changes() > 0;
}

void MemberStore::set_picture(int number, std::string_view original) {
  std::lock_guard lock(mutex_);
  SqliteStatement update = database_.prepare(
      "UPDATE members SET picture = ?, picture_version = picture_version + 1, picture_small = NULL, "
      "picture_large = NULL WHERE number = ?");
  update.bind_blob(1, original).bind(2, number).run();
}

std::optional<std::string> MemberStore::picture(int number, PictureSize size) {
  const std::string_view cache = size == PictureSize::Small ? "picture_small" : "picture_large";
  std::string original;
  std::int64_t version = 0;
  {
    std::lock_guard lock(mutex_);
    SqliteStatement query =
        database_.prepare("SELECT picture, picture_version, " + std::string(cache) + " FROM members WHERE number = ?");
    query.bind(1, number);
    if (query.step() != SqliteStatement::Step::Row || query.is_null(0)) return std::nullopt;
    if (!query.is_null(2)) return query.text(2);
    original = query.text(0);
    version = query.integer(1);
  }
  // Scaled outside the lock, so other requests go on meanwhile; kept only if
  // the picture was not replaced in between.
  std::optional<std::string> scaled = scaled_png(original, size);
  if (!scaled) return std::nullopt;
  std::lock_guard lock(mutex_);
  SqliteStatement update =
      database_.prepare("UPDATE members SET " + std::string(cache) + " = ? WHERE number = ? AND picture_version = ?");
  update.bind_blob(1, *scaled).bind(2, number).bind(3, version).run();
  return scaled;
}

std::size_t MemberStore::picture_bytes(int number) {
  std::lock_guard lock(mutex_);
  SqliteStatement query = database_.prepare("SELECT length(picture) FROM members WHERE number = ?");
  query.bind(1, number);
  if (query.step() != SqliteStatement::Step::Row || query.is_null(0)) return 0;
  return static_cast<std::size_t>(query.integer(0));
}

void MemberStore::set_shared_picture(int channel, const SharedPicture& picture) {
  std::lock_guard lock(mutex_);
  SqliteStatement replace = database_.prepare(
      "INSERT OR REPLACE INTO shared_pictures (channel, file_name, content_type, data) VALUES (?, ?, ?, ?)");
  replace.bind(1, channel).bind_blob(2, picture.file_name).bind(3, picture.content_type).bind_blob(4, picture.data);
  replace.run();
}

std::optional<SharedPicture> MemberStore::shared_picture(int channel) {
  std::lock_guard lock(mutex_);
  SqliteStatement query =
      database_.prepare("SELECT file_name, content_type, data FROM shared_pictures WHERE channel = ?");
  query.bind(1, channel);
  if (query.step() != SqliteStatement::Step::Row) return std::nullopt;
  return SharedPicture{query.text(0), query.text(1), query.text(2)};
}

std::optional<Member> MemberStore::member_by_number(int number) {
  SqliteStatement query = database_.prepare("SELECT " + std::string(kMemberColumns) + " FROM members WHERE number = ?");
  query.bind(1, number);
  if (query.step() != SqliteStatement::Step::Row) return std::nullopt;
  return read_member(query);
}

std::optional<Member> MemberStore::member_by_machine(std::string_view machine) {
  SqliteStatement query =
      database_.prepare("SELECT " + std::string(kMemberColumns) + " FROM members WHERE machine = ?");
  query.bind(1, machine);
  if (query.step() != SqliteStatement::Step::Row) return std::nullopt;
  return read_member(query);
}

std::optional<int> MemberStore::free_number() {
  SqliteStatement query = database_.prepare(
      "SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM members WHERE number = 1) "
      "UNION ALL SELECT number + 1 FROM members AS m WHERE number < 65535 "
      "AND NOT EXISTS (SELECT 1 FROM members WHERE number = m.number + 1) ORDER BY 1 LIMIT 1");
  if (query.step() != SqliteStatement::Step::Row) return std::nullopt;
  return static_cast<int>(query.integer(0));
}

void MemberStore::insert_default(int number, const std::optional<std::string>& machine, std::int64_t now) {
  const Member member = default_member(number);
  SqliteStatement insert = database_.prepare(
      "INSERT INTO members (number, machine, name, first_name, nickname, city, phrase, day, email, folder, "
      "background, picture, last_seen) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert.bind(1, number).bind(2, machine).bind(3, member.name);
  for (std::size_t i = 0; i < kCardFieldCount; ++i) insert.bind(static_cast<int>(4 + i), member.card[i]);
  insert.bind(11, as_column(member.background)).bind_blob(12, default_member_picture(number)).bind(13, now);
  insert.run();
}

}  // namespace marvok::web_server
