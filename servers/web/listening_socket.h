#pragma once

#include <string>

namespace marvok::web_server {

// A TCP socket bound to `address` (a name or a numeric address) and `port`
// (0 for any free one) and listening, or -1 with the reason in `error`.
// Several processes of this service may listen on one port, the kernel
// spreading the connections among them; a port held by a socket that does not
// share it, or by another user, stays refused.
int open_listening_socket(const std::string& address, int port, std::string& error);

// The port a bound socket listens on.
int bound_port(int socket);

}  // namespace marvok::web_server
