#include "relay_log.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

namespace marvok::relay_server {

namespace {

constexpr std::array<const char*, kLogEventKinds> kPlurals = {
    "joins",   "channel moves",  "departures",          "member number changes",
    "notices", "unsent notices", "clients not admitted"};

}  // namespace

RelayLog::RelayLog(std::FILE* out, LogLimit limit, LogClock clock)
    : out_(out), limit_(limit), clock_(std::move(clock)) {}

void RelayLog::write(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  emit(format, arguments);
  va_end(arguments);
}

void RelayLog::write(LogEvent event, const char* format, ...) {
  const auto now = clock_();
  close_if_over(event, now);
  Budget& budget = budgets_[static_cast<std::size_t>(event)];
  if (!budget.open) budget = Budget{true, now, 0, 0};
  if (budget.written == limit_.lines_per_interval) {
    ++budget.left_out;
    return;
  }
  ++budget.written;
  va_list arguments;
  va_start(arguments, format);
  emit(format, arguments);
  va_end(arguments);
}

void RelayLog::flush_left_out() {
  const auto now = clock_();
  for (std::size_t kind = 0; kind < kLogEventKinds; ++kind) close_if_over(static_cast<LogEvent>(kind), now);
}

void RelayLog::close_if_over(LogEvent event, std::chrono::steady_clock::time_point now) {
  Budget& budget = budgets_[static_cast<std::size_t>(event)];
  if (!budget.open || now - budget.since < limit_.interval) return;
  if (budget.left_out > 0) {
    emit_line("... %llu more %s like this in the last %lld s", static_cast<unsigned long long>(budget.left_out),
              kPlurals[static_cast<std::size_t>(event)],
              static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(now - budget.since).count()));
  }
  budget = Budget{};
}

void RelayLog::emit_line(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  emit(format, arguments);
  va_end(arguments);
}

void RelayLog::emit(const char* format, va_list arguments) {
  if (out_ == nullptr) return;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  // Built whole first, so lines from this process never interleave.
  char line[512];
  constexpr std::size_t kRoom = sizeof line - 2;  // for the newline and the end
  std::size_t used = std::strftime(line, kRoom, "%Y-%m-%d %H:%M:%S", &local);
  const int stamp = std::snprintf(line + used, kRoom - used, ".%03ld ", now.tv_nsec / 1'000'000);
  if (stamp > 0) used = std::min(used + static_cast<std::size_t>(stamp), kRoom);
  // The callers' va_start initialises the list; clang-tidy's analyzer loses
  // track of that when it checks several files in one run.
  const int message = vsnprintf(line + used, kRoom - used, format, arguments);  // NOLINT(clang-analyzer-valist.*)
  if (message > 0) used = std::min(used + static_cast<std::size_t>(message), kRoom - 1);
  line[used] = '\n';
  line[used + 1] = '\0';
  std::fputs(line, out_);
  std::fflush(out_);
}

}  // namespace marvok::relay_server
