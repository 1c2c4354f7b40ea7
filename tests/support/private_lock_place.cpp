#include "support/private_lock_place.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace marvok::testing {

namespace {

// A runtime directory of the program's own, removed when it ends.
struct PrivateRuntimeDirectory {
  PrivateRuntimeDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "marvok-locks-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path = pattern;
  }
  ~PrivateRuntimeDirectory() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

}  // namespace

void use_private_lock_place() {
  static const PrivateRuntimeDirectory directory;
  ::setenv("XDG_RUNTIME_DIR", directory.path.c_str(), 1);
}

}  // namespace marvok::testing
