#pragma once

#include <cstdio>
#include <string>

#include "command_line.h"

namespace marvok::web_server {

// The operator's commands on the member database. They return the exit
// code: 0 done, 1 refused (the reason on `errors`), nothing changed then.
int run_member_set(const std::string& database, const MemberEdit& edit, std::FILE* out, std::FILE* errors);
int run_member_list(const std::string& database, std::FILE* out, std::FILE* errors);
// Frees the numbers of the members whose machine has not signed in for
// `unseen_days`, with their cards and pictures.
int run_member_forget(const std::string& database, int unseen_days, std::FILE* out, std::FILE* errors);

}  // namespace marvok::web_server
