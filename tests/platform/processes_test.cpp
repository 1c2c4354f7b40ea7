// Starting the companion and looking for it among the running processes.
#include "platform/processes.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace marvok::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class StartDetachedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("marvok-processes-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path file(const std::string& name, const std::string& text, fs::perms permissions) {
    fs::path path = folder_ / name;
    std::ofstream(path) << text;
    fs::permissions(path, permissions);
    return path;
  }

  // What the started script wrote of itself (/proc/self/stat), once it has.
  std::string stat_written(const fs::path& path) {
    for (const auto until = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(10ms)) {
      std::ifstream in(path);
      std::string stat;
      if (std::getline(in, stat) && !stat.empty()) return stat;
    }
    return {};
  }

  fs::path folder_;
};

TEST_F(StartDetachedTest, RefusesWhatCannotRun) {
  const struct {
    const char* name;
    fs::path path;
  } cases[] = {
      {"missing", folder_ / "absent"},
      {"not executable", file("plain", "#!/bin/sh\nexit 0\n", fs::perms::owner_read | fs::perms::owner_write)},
      {"a folder", folder_},
      {"a missing interpreter", file("orphan", "#!/nonexistent/shell\n", fs::perms::owner_all)},
  };
  for (const auto& c : cases) EXPECT_FALSE(start_detached(c.path.string())) << c.name;
  // Whatever failed, no child of ours is left to collect.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(StartDetachedTest, RunsTheProgramInASessionOfItsOwnAndLeavesNoChild) {
  const fs::path written = folder_ / "stat";
  const fs::path script = file("companion",
                               "#!/bin/sh\ncat /proc/self/stat > \"" + written.string() + ".new\"\nmv \"" +
                                   written.string() + ".new\" \"" + written.string() + "\"\n",
                               fs::perms::owner_all);
  ASSERT_TRUE(start_detached(script.string()));
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  // Fields after the name: state, parent, group, session.
  const std::string stat = stat_written(written);
  ASSERT_FALSE(stat.empty());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  char state = 0;
  pid_t parent = 0, group = 0, session = 0;
  fields >> state >> parent >> group >> session;
  EXPECT_NE(session, ::getsid(0));
  EXPECT_NE(parent, ::getpid());
}

}  // namespace
}  // namespace marvok::platform
