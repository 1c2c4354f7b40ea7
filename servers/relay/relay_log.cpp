#include "relay_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace marvok::relay_server {

void RelayLog::write(const char* format, ...) {
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
  va_list arguments;
  va_start(arguments, format);
  // va_start initialises the list; clang-tidy's analyzer loses track of that
  // when it checks several files in one run.
  const int message = vsnprintf(line + used, kRoom - used, format, arguments);  // NOLINT(clang-analyzer-valist.*)
  va_end(arguments);
  if (message > 0) used = std::min(used + static_cast<std::size_t>(message), kRoom - 1);
  line[used] = '\n';
  line[used + 1] = '\0';
  std::fputs(line, out_);
  std::fflush(out_);
}

}  // namespace marvok::relay_server
