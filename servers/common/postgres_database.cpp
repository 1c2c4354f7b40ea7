#include "postgres_database.h"

#include <libpq-fe.h>
#include <poll.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace marvok::database {

namespace {

// A request that waits longer on the database than this is answered 503.
constexpr std::chrono::milliseconds kConnectTime{1500};
constexpr std::string_view kStatementTime = "SET statement_timeout = 2500";
// Writers of the members' database take this lock, as SQLite's writers take
// the file's: every process then sees what the one before it committed.
constexpr std::string_view kBeginWrite = "BEGIN; SELECT pg_advisory_xact_lock(7809387765811851883)";

// Type numbers of PostgreSQL's built-in integer types.
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;

std::string trimmed(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "no answer" : text;
}

// Connection trouble, a server shutting down, no connection slot or a
// statement that ran out of time: the request can be tried again.
bool worth_retrying(pg_conn* connection, const pg_result* result) {
  if (PQstatus(connection) != CONNECTION_OK || result == nullptr) return true;
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  if (state == nullptr) return true;
  const std::string_view code(state);
  return code.starts_with("08") || code.starts_with("53") || code.starts_with("57") || code.starts_with("40");
}

[[noreturn]] void fail(pg_conn* connection, const pg_result* result, std::string_view doing) {
  const std::string message = "database " + std::string(doing) + ": " +
                              trimmed(result != nullptr ? PQresultErrorMessage(result) : PQerrorMessage(connection));
  if (worth_retrying(connection, result)) throw DatabaseUnavailable(message);
  throw DatabaseError(message);
}

using Result = std::unique_ptr<pg_result, decltype(&PQclear)>;

Result checked(pg_conn* connection, pg_result* raw, std::string_view doing) {
  Result result(raw, &PQclear);
  const ExecStatusType status = raw != nullptr ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(connection, raw, doing);
  return result;
}

std::int64_t big_endian(const char* bytes, int length) {
  std::uint64_t value = 0;
  for (int i = 0; i < length; ++i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
  // Sign-extend the shorter integer types.
  const int unused = 64 - 8 * length;
  return unused > 0 ? static_cast<std::int64_t>(value << unused) >> unused : static_cast<std::int64_t>(value);
}

class PostgresStatement final : public Statement {
 public:
  PostgresStatement(pg_conn* connection, std::string name, int parameters)
      : connection_(connection),
        name_(std::move(name)),
        values_(static_cast<std::size_t>(parameters)),
        binary_(static_cast<std::size_t>(parameters), 0) {}

  Statement& bind(int index, std::int64_t value) override { return set(index, std::to_string(value), false); }
  Statement& bind(int index, std::string_view text) override { return set(index, std::string(text), false); }
  Statement& bind_blob(int index, std::string_view bytes) override { return set(index, std::string(bytes), true); }
  Statement& bind_null(int index) override {
    slot(index).reset();
    return *this;
  }
  using Statement::bind;

  Step step() override {
    if (!result_) execute();
    return ++row_ < PQntuples(result_.get()) ? Step::Row : Step::Done;
  }

  std::int64_t run() override {
    if (!result_) execute();
    const char* changed = PQcmdTuples(result_.get());
    return changed != nullptr && *changed != '\0' ? std::strtoll(changed, nullptr, 10) : 0;
  }

  bool is_null(int column) const override { return PQgetisnull(result_.get(), row_, column) != 0; }

  std::int64_t integer(int column) const override {
    const Oid type = PQftype(result_.get(), column);
    const int length = PQgetlength(result_.get(), row_, column);
    if ((type != kInt8 && type != kInt4 && type != kInt2) || length < 1 || length > 8)
      throw DatabaseError("database: column " + std::to_string(column) + " is not an integer");
    return big_endian(PQgetvalue(result_.get(), row_, column), length);
  }

  std::string text(int column) const override {
    return std::string(PQgetvalue(result_.get(), row_, column),
                       static_cast<std::size_t>(PQgetlength(result_.get(), row_, column)));
  }

 private:
  std::optional<std::string>& slot(int index) {
    if (index < 1 || static_cast<std::size_t>(index) > values_.size())
      throw DatabaseError("database bind: no parameter " + std::to_string(index));
    return values_[static_cast<std::size_t>(index - 1)];
  }

  Statement& set(int index, std::string value, bool binary) {
    slot(index) = std::move(value);
    binary_[static_cast<std::size_t>(index - 1)] = binary ? 1 : 0;
    return *this;
  }

  void execute() {
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (const auto& value : values_) {
      values.push_back(value ? value->data() : nullptr);
      lengths.push_back(value ? static_cast<int>(value->size()) : 0);
    }
    result_ = checked(connection_,
                      PQexecPrepared(connection_, name_.c_str(), static_cast<int>(values.size()), values.data(),
                                     lengths.data(), binary_.data(), 1),
                      "statement");
  }

  pg_conn* connection_;
  std::string name_;
  std::vector<std::optional<std::string>> values_;
  std::vector<int> binary_;
  Result result_{nullptr, &PQclear};
  int row_ = -1;
};

}  // namespace

std::pair<std::string, int> numbered_placeholders(std::string_view sql) {
  std::string numbered;
  int count = 0;
  bool quoted = false;
  for (const char c : sql) {
    if (c == '\'') quoted = !quoted;
    if (c == '?' && !quoted) {
      numbered += '$' + std::to_string(++count);
    } else {
      numbered += c;
    }
  }
  return {numbered, count};
}

PostgresDatabase::PostgresDatabase(const std::string& url) {
  connection_ = PQconnectStart(url.c_str());
  if (connection_ == nullptr) throw DatabaseUnavailable("database: no memory for a connection");
  const auto deadline = std::chrono::steady_clock::now() + kConnectTime;
  PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
  while (PQstatus(connection_) != CONNECTION_BAD && polling != PGRES_POLLING_OK && polling != PGRES_POLLING_FAILED) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    pollfd wait{PQsocket(connection_), static_cast<short>(polling == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
    if (left <= 0 || ::poll(&wait, 1, static_cast<int>(left)) <= 0) {
      PQfinish(connection_);
      throw DatabaseUnavailable("database: no answer from the PostgreSQL server within " +
                                std::to_string(kConnectTime.count()) + " ms");
    }
    polling = PQconnectPoll(connection_);
  }
  if (PQstatus(connection_) != CONNECTION_OK) {
    const std::string message = "database: cannot connect: " + trimmed(PQerrorMessage(connection_));
    PQfinish(connection_);
    throw DatabaseUnavailable(message);
  }
  // "Already there, skipping" and the like: the schema's steps expect them.
  PQsetNoticeProcessor(
      connection_, [](void*, const char*) {}, nullptr);
  try {
    if (PQsetClientEncoding(connection_, "UTF8") != 0) fail(connection_, nullptr, "encoding");
    execute(kStatementTime);
  } catch (...) {
    PQfinish(connection_);
    throw;
  }
}

PostgresDatabase::~PostgresDatabase() { PQfinish(connection_); }

void PostgresDatabase::execute(std::string_view sql) {
  checked(connection_, PQexec(connection_, std::string(sql).c_str()), "command");
}

std::unique_ptr<Statement> PostgresDatabase::prepare(std::string_view sql) {
  const std::string key(sql);
  auto found = prepared_.find(key);
  if (found == prepared_.end()) {
    auto [numbered, parameters] = numbered_placeholders(sql);
    Prepared prepared{"marvok_" + std::to_string(prepared_.size()), parameters};
    checked(connection_, PQprepare(connection_, prepared.name.c_str(), numbered.c_str(), 0, nullptr), "prepare");
    found = prepared_.emplace(key, std::move(prepared)).first;
  }
  return std::make_unique<PostgresStatement>(connection_, found->second.name, found->second.parameters);
}

void PostgresDatabase::begin_write() { execute(kBeginWrite); }

bool PostgresDatabase::usable() {
  if (PQstatus(connection_) != CONNECTION_OK) return false;
  // A server gone away leaves the idle socket readable at its end: notice it
  // before a request is spent on it.
  pollfd idle{PQsocket(connection_), POLLIN, 0};
  if (::poll(&idle, 1, 0) > 0 && PQconsumeInput(connection_) == 0) return false;
  return PQstatus(connection_) == CONNECTION_OK && PQtransactionStatus(connection_) == PQTRANS_IDLE;
}

}  // namespace marvok::database
