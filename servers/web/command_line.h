#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "member_card.h"

namespace marvok::web_server {

struct ServeOptions {
  std::string database;
  std::string certificate;
  std::string key;
  std::string address = "127.0.0.1";
  int port = 8443;  // 0 takes any free port
  // A connection that neither sends nor takes a byte for this long is
  // closed; one that keeps moving, however slowly, is not.
  unsigned idle_seconds = 20;
  // New machines each source address (an IPv6 /64) may enrol an hour.
  int enrolments_per_hour = 3;
  // Connections each source address (an IPv6 /64) may hold open at once: a
  // household behind one NAT runs a few clients, each opening a connection
  // per request and a handful at once, which leaves room for several
  // households or an office sharing one address. Past it, an address
  // holding connections open only locks itself out.
  int connections_per_address = 64;
  // Loopback is free of both limits unless this is set.
  bool limit_loopback = false;
};

// What `member set` changes; what is not given stays as it is.
struct MemberEdit {
  enum class Background { Keep, Set, Clear };

  int number = 0;
  std::optional<std::string> machine;
  std::optional<std::string> name;
  std::optional<std::string> picture_file;
  std::array<std::optional<std::string>, kCardFieldCount> card;
  Background background = Background::Keep;
  std::uint32_t background_colour = 0;  // COLORREF, when Set
};

struct CommandLine {
  enum class Action { Serve, MemberSet, MemberList, MemberForget, Migrate, Help, Error };
  Action action = Action::Error;
  ServeOptions serve;
  std::string database;    // for the member commands, and where migrate copies from
  std::string migrate_to;  // where migrate copies to
  int unseen_days = 0;     // for member forget
  MemberEdit edit;
  std::string error;  // set when action is Error
};

// The arguments after the program name. Options take their value either as
// the next argument or after '=' ("--port=8443").
CommandLine parse_command_line(std::span<const std::string_view> arguments);

std::string_view usage_text();

// A machine identifier as the client sends it: 1 to 19 decimal digits.
bool is_machine_identifier(std::string_view text);

// A member number written in decimal, within the numbers the client carries.
std::optional<int> parse_member_number(std::string_view text);

}  // namespace marvok::web_server
