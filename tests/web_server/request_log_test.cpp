#include "request_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marvok::web_server {
namespace {

std::vector<std::string> lines_of(std::FILE* file) {
  std::rewind(file);
  std::vector<std::string> lines;
  char line[512];
  while (std::fgets(line, sizeof line, file) != nullptr) lines.emplace_back(line);
  return lines;
}

TEST(RequestLog, KeepsTwentyLinesASecondAndTellsHowManyWereLeftOut) {
  std::FILE* file = std::tmpfile();
  {
    RequestLog log(file);
    const auto start = RequestLog::Clock::now();
    for (int i = 0; i < 25; ++i)
      log.record("GET", "/users/1/client.xml", 200, 226, start + std::chrono::milliseconds(i));
    log.record("POST", "/users/params.php", 400, 0, start + std::chrono::milliseconds(1001));
    for (int i = 0; i < 30; ++i) log.record("GET", "/", 200, 10, start + std::chrono::milliseconds(1100 + i));
  }  // the log tells the last count on its way out
  const std::vector<std::string> lines = lines_of(file);
  std::fclose(file);
  ASSERT_EQ(lines.size(), 20u + 1 + 1 + 19 + 1);
  EXPECT_TRUE(lines[0].ends_with(" GET /users/1/client.xml 200 226\n")) << lines[0];
  EXPECT_TRUE(lines[20].ends_with(" marvok-web: 5 request lines left out\n")) << lines[20];
  EXPECT_TRUE(lines[21].ends_with(" POST /users/params.php 400 0\n")) << lines[21];
  EXPECT_TRUE(lines[41].ends_with(" marvok-web: 11 request lines left out\n")) << lines[41];
}

TEST(RequestLog, KeepsEachRequestOnOneLine) {
  std::FILE* file = std::tmpfile();
  {
    RequestLog log(file);
    log.record("GET", "/a\nGET /forged 200 1\r", 404, 0);
    log.record("GET", "/" + std::string(500, 'x'), 404, 0);
  }
  const std::vector<std::string> lines = lines_of(file);
  std::fclose(file);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].ends_with(" GET /a?GET /forged 200 1? 404 0\n")) << lines[0];
  EXPECT_LT(lines[1].size(), 260u);
}

}  // namespace
}  // namespace marvok::web_server
