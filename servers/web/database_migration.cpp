#include "database_migration.h"

#include <array>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string_view>

#include "member_store.h"

namespace marvok::web_server {

namespace {

// Rows written per destination transaction.
constexpr int kBatch = 100;

enum class Kind { Integer, Text, Bytes };

struct Column {
  std::string_view name;
  Kind kind;
};

constexpr std::array<Column, 16> kMemberColumns = {{
    {"number", Kind::Integer},
    {"machine", Kind::Text},
    {"name", Kind::Text},
    {"first_name", Kind::Text},
    {"nickname", Kind::Text},
    {"city", Kind::Text},
    {"phrase", Kind::Text},
    {"day", Kind::Text},
    {"email", Kind::Text},
    {"folder", Kind::Text},
    {"background", Kind::Integer},
    {"picture", Kind::Bytes},
    {"picture_version", Kind::Integer},
    {"picture_small", Kind::Bytes},
    {"picture_large", Kind::Bytes},
    {"last_seen", Kind::Integer},
}};

constexpr std::array<Column, 4> kSharedPictureColumns = {{
    {"channel", Kind::Integer},
    {"file_name", Kind::Bytes},
    {"content_type", Kind::Text},
    {"data", Kind::Bytes},
}};

struct Table {
  std::string_view name;
  std::string_view key;
  std::span<const Column> columns;
};

struct TableCounts {
  std::set<std::int64_t> keys;  // every row's key in the source
  int copied = 0;
};

std::string column_list(const Table& table) {
  std::string list;
  for (const Column& column : table.columns) list += (list.empty() ? "" : ", ") + std::string(column.name);
  return list;
}

void copy_value(const Statement& from, Statement& to, int column, Kind kind) {
  if (from.is_null(column)) {
    to.bind_null(column + 1);
  } else if (kind == Kind::Integer) {
    to.bind(column + 1, from.integer(column));
  } else if (kind == Kind::Bytes) {
    to.bind_blob(column + 1, from.text(column));
  } else {
    to.bind(column + 1, from.text(column));
  }
}

TableCounts copy_table(Database& from, Database& to, const Table& table) {
  const std::string columns = column_list(table);
  std::string placeholders;
  for (std::size_t i = 0; i < table.columns.size(); ++i) placeholders += i == 0 ? "?" : ", ?";
  auto rows =
      from.prepare("SELECT " + columns + " FROM " + std::string(table.name) + " ORDER BY " + std::string(table.key));
  const std::string insert = "INSERT INTO " + std::string(table.name) + " (" + columns + ") VALUES (" + placeholders +
                             ") ON CONFLICT (" + std::string(table.key) + ") DO NOTHING";
  TableCounts counts;
  std::optional<WriteTransaction> batch;
  int in_batch = 0;
  while (rows->step() == Statement::Step::Row) {
    const std::int64_t key = rows->integer(0);
    counts.keys.insert(key);
    if (!batch) batch.emplace(to);
    auto write = to.prepare(insert);
    for (std::size_t i = 0; i < table.columns.size(); ++i)
      copy_value(*rows, *write, static_cast<int>(i), table.columns[i].kind);
    try {
      counts.copied += static_cast<int>(write->run());
    } catch (const DatabaseError& failure) {
      throw DatabaseError(std::string(table.name) + " " + std::to_string(key) + " cannot be copied: " + failure.what());
    }
    if (++in_batch == kBatch) {
      batch->commit();
      batch.reset();
      in_batch = 0;
    }
  }
  if (batch) batch->commit();
  return counts;
}

// Throws unless every key of the source is in the destination.
void check_arrived(Database& to, const Table& table, const TableCounts& counts) {
  auto keys = to.prepare("SELECT " + std::string(table.key) + " FROM " + std::string(table.name));
  std::set<std::int64_t> there;
  while (keys->step() == Statement::Step::Row) there.insert(keys->integer(0));
  for (const std::int64_t key : counts.keys) {
    if (!there.contains(key))
      throw DatabaseError(std::string(table.name) + " " + std::to_string(key) + " is missing from the destination");
  }
}

}  // namespace

MigrationCounts migrate_database(const std::string& from, const std::string& to) {
  // A file that is not there would be made empty, and "copied" at once.
  if (!names_postgresql(from) && !std::filesystem::exists(from)) throw DatabaseError("there is no database " + from);
  // Both are brought to this program's tables first; a newer one is refused.
  MemberStore source_store(from);
  MemberStore destination_store(to);
  const auto source = source_store.pool().lease();
  const auto destination = destination_store.pool().lease();
  const Table members{"members", "number", kMemberColumns};
  const Table shared{"shared_pictures", "channel", kSharedPictureColumns};
  const TableCounts member_counts = copy_table(*source, *destination, members);
  const TableCounts shared_counts = copy_table(*source, *destination, shared);
  check_arrived(*destination, members, member_counts);
  check_arrived(*destination, shared, shared_counts);
  return MigrationCounts{static_cast<int>(member_counts.keys.size()), member_counts.copied,
                         static_cast<int>(shared_counts.keys.size()), shared_counts.copied};
}

int run_migrate(const std::string& from, const std::string& to, std::FILE* out, std::FILE* errors) {
  try {
    const MigrationCounts counts = migrate_database(from, to);
    std::fprintf(out,
                 "marvok-web: %d members (%d copied, %d already there) and %d shared pictures (%d copied, %d already "
                 "there) are in the destination\n",
                 counts.members, counts.members_copied, counts.members - counts.members_copied, counts.shared_pictures,
                 counts.shared_pictures_copied, counts.shared_pictures - counts.shared_pictures_copied);
    return 0;
  } catch (const DatabaseError& error) {
    std::fprintf(errors, "marvok-web: %s; run migrate again once it is mended\n", error.what());
    return 1;
  }
}

}  // namespace marvok::web_server
