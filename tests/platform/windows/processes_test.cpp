// Starting the companion and looking for it among the running processes.
#include "platform/processes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/windows/system_probe_run.h"

namespace marvok::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class StartDetachedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // With a space, as in "Program Files": the program must still see one argument.
    folder_ = fs::temp_directory_path() / ("marvok processes " + std::to_string(GetCurrentProcessId()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // Polls `condition` for up to five seconds.
  template <typename Condition>
  static bool becomes(Condition condition) {
    for (const auto until = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(20ms))
      if (condition()) return true;
    return condition();
  }

  fs::path folder_;
};

TEST_F(StartDetachedTest, RefusesWhatCannotRun) {
  std::ofstream(folder_ / "plain.exe") << "not a program\n";
  const struct {
    const char* name;
    fs::path path;
  } cases[] = {
      {"missing", folder_ / "absent.exe"},
      {"not a program", folder_ / "plain.exe"},
      {"a folder", folder_},
      {"empty", fs::path()},
  };
  for (const auto& c : cases) EXPECT_FALSE(start_detached(c.path.string())) << c.name;
}

TEST_F(StartDetachedTest, StartedProgramRunsOnItsOwnAndShowsInTheProcessList) {
  // A copy under a name no other process has, looked for in another case.
  const std::string name = "Marvok-Probe-" + std::to_string(GetCurrentProcessId()) + ".exe";
  const fs::path program = folder_ / name;
  fs::copy_file(marvok::testing::system_probe_path(), program);
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  EXPECT_FALSE(is_process_running(name));
  // With forward slashes, as the companion link joins its folder and name.
  ASSERT_TRUE(start_detached(program.generic_string()));
  EXPECT_TRUE(becomes([&] { return fs::exists(program.string() + ".started"); }));
  EXPECT_TRUE(is_process_running(name));
  EXPECT_TRUE(is_process_running(upper)) << "the name is compared ignoring case";
  EXPECT_FALSE(is_process_running(name.substr(0, name.size() - 4))) << "only the whole file name matches";

  std::ofstream(program.string() + ".stop") << "stop\n";
  EXPECT_TRUE(becomes([&] { return !is_process_running(name); }));
}

TEST(ProcessesTest, TheClientsFolderHoldsItsExecutable) {
  const std::optional<std::string> folder = own_executable_folder();
  ASSERT_TRUE(folder);
  std::wstring own(MAX_PATH, L'\0');
  own.resize(GetModuleFileNameW(nullptr, own.data(), MAX_PATH));
  EXPECT_EQ(fs::path(*folder), fs::path(own).parent_path());
  EXPECT_TRUE(fs::exists(fs::path(*folder) / fs::path(own).filename()));
}

TEST(ProcessesTest, NamesNoProcessRunsAreNotFound) {
  for (const char* name : {"", "no-such-program.exe", "\xC3\xA9t\xC3\xA9.exe"})
    EXPECT_FALSE(is_process_running(name)) << name;
}

}  // namespace
}  // namespace marvok::platform
