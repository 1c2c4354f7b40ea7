#pragma once

#include <cstdio>

namespace marvok::relay_server {

// One timestamped line per event worth an operator's attention. Never used
// per speech or presence datagram.
class RelayLog {
 public:
  explicit RelayLog(std::FILE* out) : out_(out) {}

  void write(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  std::FILE* out_;
};

}  // namespace marvok::relay_server
