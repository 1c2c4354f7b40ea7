#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database_pool.h"
#include "member_card.h"
#include "pictures.h"

namespace marvok::web_server {

// The picture a channel's members share.
struct SharedPicture {
  std::string file_name;  // as the client sent it, Windows-1252
  std::string content_type;
  std::string data;
};

// Members, their cards, pictures and parameters, and the channels' shared
// pictures, in an SQLite file or a PostgreSQL database. Safe from any thread,
// and from several processes on one database: the operator's commands, or
// more services beside this one.
// Failures of the database throw DatabaseError, and DatabaseUnavailable when
// it may be tried again later.
class MemberStore {
 public:
  // Request threads that may use the database at once; PostgreSQL gets a
  // connection for each.
  static constexpr std::size_t kConnections = 8;

  // An SQLite file's path or a PostgreSQL URL; brought up to date at once.
  explicit MemberStore(const std::string& where);

  // Seconds since 1970, as the store keeps when machines were last seen.
  static std::int64_t unix_now();

  // The member signing in from this machine; a machine seen for the first
  // time gets the lowest free number and a default card. Nothing when every
  // number is taken.
  std::optional<Member> identify(std::string_view machine);
  // The member of a machine already enrolled, now seen; nothing otherwise.
  std::optional<Member> sign_in(std::string_view machine, std::int64_t now = unix_now());
  // Enrols a machine seen for the first time (or finds it, when it was
  // enrolled meanwhile). Nothing when every number is taken.
  std::optional<Member> enrol(std::string_view machine, std::int64_t now = unix_now());
  // Removes the members whose machine was last seen before `seen_before`,
  // freeing their numbers; those the operator made without a machine stay.
  // Sign-ins are dated to the day, so a day's margin is kept. Returns how
  // many went.
  int forget_unseen(std::int64_t seen_before);

  std::optional<Member> find(int number);
  std::optional<Member> find_by_machine(std::string_view machine);
  std::vector<Member> members();

  // A new member with the default card and picture; the number must be free.
  Member create(int number);
  // Writes the member's name, machine, card and background (not the picture).
  void save(const Member& member);
  // False when the member does not exist.
  bool set_background(int number, std::optional<std::uint32_t> background);

  // The original picture as given; the scaled copies are made again on demand.
  void set_picture(int number, std::string_view original);
  // The member's picture scaled to the size, as PNG; nothing when the member
  // or its picture is missing, or the picture does not decode.
  std::optional<std::string> picture(int number, PictureSize size);
  std::size_t picture_bytes(int number);

  void set_shared_picture(int channel, const SharedPicture& picture);
  std::optional<SharedPicture> shared_picture(int channel);

  DatabasePool& pool() { return pool_; }

 private:
  DatabasePool pool_;
};

}  // namespace marvok::web_server
