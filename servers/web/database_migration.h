#pragma once

#include <cstdio>
#include <string>

namespace marvok::web_server {

struct MigrationCounts {
  int members = 0;  // in the source, every one now in the destination
  int members_copied = 0;
  int shared_pictures = 0;
  int shared_pictures_copied = 0;
};

// Copies every member with its card, parameters and pictures, and every
// channel's shared picture, from one members' database to another, a batch
// per transaction. What the destination already holds is kept as it is, so a
// copy cut short is finished by running it again, and a second run changes
// nothing. Throws DatabaseError, naming the member, when one cannot be copied
// or does not arrive.
MigrationCounts migrate_database(const std::string& from, const std::string& to);

// The operator's command: 0 when everything is in the destination.
int run_migrate(const std::string& from, const std::string& to, std::FILE* out, std::FILE* errors);

}  // namespace marvok::web_server
