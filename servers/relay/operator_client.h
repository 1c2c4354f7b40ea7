#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace marvok::relay_server {

// How long `marvok-relay command` waits for the relay to say something.
inline constexpr std::chrono::milliseconds kOperatorPatience{5000};

// Sends one operator command to the relay listening at `path` and copies its
// answer to `out` until the relay closes the connection. 0 when it answered;
// 1, with the reason on `err`, when it cannot be reached, closes without an
// answer or stays silent for `patience`.
int send_operator_command(const std::string& path, std::string_view command, std::FILE* out, std::FILE* err,
                          std::chrono::milliseconds patience = kOperatorPatience);

}  // namespace marvok::relay_server
