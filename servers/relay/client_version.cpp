#include "client_version.h"

namespace marvok::relay_server {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<ClientVersion> parse_client_version(std::string_view text) {
  if (text.size() != 5 || text[1] != '.' || text[3] != '.') return std::nullopt;
  const ClientVersion version{text[0], text[2], text[4]};
  for (const char c : version)
    if (!is_digit(c)) return std::nullopt;
  return version;
}

std::array<char, 6> format_client_version(const ClientVersion& version) {
  // Clients may report anything; keep the log readable.
  const auto printable = [](char c) { return c >= ' ' && c <= '~' ? c : '?'; };
  return {printable(version[0]), '.', printable(version[1]), '.', printable(version[2]), '\0'};
}

}  // namespace marvok::relay_server
