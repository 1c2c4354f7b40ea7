#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "running_web_service.h"
#include "wire_records.h"

namespace marvok::web_server::testing {
namespace {

// marvok-web as the operator runs it, its output kept in files.
class WebProcess {
 public:
  explicit WebProcess(std::vector<std::string> arguments) : output_(std::tmpfile()), errors_(std::tmpfile()) {
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(::fileno(output_), STDOUT_FILENO);
      ::dup2(::fileno(errors_), STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(MARVOK_WEB_EXECUTABLE)};
      for (auto& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      std::_Exit(127);
    }
  }
  WebProcess(const WebProcess&) = delete;
  WebProcess& operator=(const WebProcess&) = delete;
  ~WebProcess() {
    if (!exit_code_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    std::fclose(output_);
    std::fclose(errors_);
  }

  // -1 when it has not ended within 20 seconds; it is killed then.
  int exit_code() {
    if (exit_code_) return *exit_code_;
    int status = 0;
    for (int waited_ms = 0; ::waitpid(pid_, &status, WNOHANG) != pid_; waited_ms += 10) {
      if (waited_ms >= 20'000) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        return *(exit_code_ = -1);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return *(exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
  void send_signal(int signal) { ::kill(pid_, signal); }
  std::string output() const { return contents(output_); }
  std::string errors() const { return contents(errors_); }

  // The port from the line printed on start; 0 when none came in 10 seconds.
  int serving_port() const {
    for (int waited_ms = 0; waited_ms < 10'000; waited_ms += 10) {
      const std::string text = output();
      const std::size_t colon = text.rfind(':', text.find(" (database"));
      if (text.starts_with("marvok-web: serving https://127.0.0.1:") && colon != std::string::npos)
        return std::stoi(text.substr(colon + 1));
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
  }

 private:
  static std::string contents(std::FILE* file) {
    std::fflush(file);
    std::ifstream in("/proc/self/fd/" + std::to_string(::fileno(file)));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::FILE* output_;
  std::FILE* errors_;
  pid_t pid_ = -1;
  std::optional<int> exit_code_;
};

int run(const std::vector<std::string>& arguments, std::string* output = nullptr) {
  WebProcess process(arguments);
  const int code = process.exit_code();
  if (output != nullptr) *output = process.output() + process.errors();
  return code;
}

std::vector<std::string> serve_arguments(const std::string& database) {
  return {"serve",
          "--database",
          database,
          "--certificate",
          test_certificate().path("tls/server.pem"),
          "--key",
          test_certificate().path("tls/server.key"),
          "--port",
          "0"};
}

const std::string kIdentify = "/Tr8mQe2xVk.php?S=2&V=KALVIRO%200.7.8&A=&F=&I=";

TEST(WebProcess, MembersAndPicturesSurviveARestart) {
  TemporaryFolder folder;
  const std::string database = fresh_database(folder);
  ASSERT_EQ(run({"member", "set", "42", "--database", database, "--machine", "777", "--name", "André", "--city", "Lyon",
                 "--background", "0a141e"}),
            0);
  std::string refusal;
  EXPECT_EQ(run({"member", "set", "42", "--database", database, "--name", "漢字"}, &refusal), 1);
  EXPECT_NE(refusal.find("--name"), std::string::npos) << refusal;
  const std::string shared = picture_bytes(40, 20, "PNG");
  {
    WebProcess server(serve_arguments(database));
    const int port = server.serving_port();
    ASSERT_GT(port, 0) << server.errors();
    const auto client = https_client(port);
    EXPECT_EQ(client->Get(kIdentify + "777")->body.substr(34, 11), "00042 Andr\xE9");
    EXPECT_EQ(client->Get(kIdentify + "123")->body.substr(34, 5), "00001");
    EXPECT_NE(client->Get("/users/42/params.xml")->body.find("<BACKGROUND>1e140a</BACKGROUND>"), std::string::npos);
    std::string record = shared;
    record.resize(kUploadRecordBytes);
    record[kUploadDataBytes + kUploadNameBytes] = static_cast<char>(shared.size());
    record[kUploadDataBytes + kUploadNameBytes + 8] = 5;  // the channel
    ASSERT_EQ(client->Post("/echange/pc_img_share_post.php", record, "multipart/form-data")->status, 200);
    server.send_signal(SIGTERM);
    EXPECT_EQ(server.exit_code(), 0);
    EXPECT_NE(server.errors().find(" GET /users/42/params.xml 200 "), std::string::npos) << server.errors();
  }
  {
    WebProcess server(serve_arguments(database));
    const int port = server.serving_port();
    ASSERT_GT(port, 0) << server.errors();
    const auto client = https_client(port);
    EXPECT_EQ(client->Get(kIdentify + "123")->body.substr(34, 5), "00001");
    EXPECT_NE(client->Get("/users/42/client.xml")->body.find("<VILLE>Lyon</VILLE>"), std::string::npos);
    EXPECT_EQ(client->Get("/echange/pc_img_share_get.php?F=5&N=1")->body, shared);
    server.send_signal(SIGINT);
    EXPECT_EQ(server.exit_code(), 0);
  }
  std::string list;
  ASSERT_EQ(run({"member", "list", "--database", database}, &list), 0);
  EXPECT_TRUE(list.starts_with("1\tmachine=123\tname=Membre 1\t")) << list;
  EXPECT_NE(list.find("\n42\tmachine=777\tname=André\tfirst-name=Membre 42\t"), std::string::npos) << list;
  EXPECT_NE(list.find("\tcity=Lyon\t"), std::string::npos);
  EXPECT_NE(list.find("\tbackground=0a141e\t"), std::string::npos);
  std::string forgotten;
  ASSERT_EQ(run({"member", "forget", "--database", database, "--unseen-days", "30"}, &forgotten), 0);
  EXPECT_EQ(forgotten, "marvok-web: 0 members forgotten, their machines not seen for 30 days\n");
}

TEST(WebProcess, BadUsageGetsTheUsageAndExitCode2) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"serve"},
      {"serve", "--database", "d", "--certificate", "c"},
      {"serve", "--database", "d", "--certificate", "c", "--key", "k", "--port", "70000"},
      {"serve", "--database", "d", "--certificate", "c", "--key", "k", "--verbose"},
      {"member"},
      {"member", "set", "0", "--database", "d"},
      {"member", "set", "65536", "--database", "d"},
      {"member", "set", "5"},
      {"member", "set", "5", "--database", "d", "--background", "12345"},
      {"member", "set", "5", "--database", "d", "--machine", "12x"},
      {"member", "set", "5", "--database", "d", "--city", "a", "--city", "b"},
      {"member", "list"},
      {"member", "forget", "--database", "d"},
      {"member", "forget", "--database", "d", "--unseen-days", "0"},
      {"serve", "--database", "d", "--certificate", "c", "--key", "k", "--enrolments-per-hour", "-1"},
      {"serve", "--database", "d", "--certificate", "c", "--key", "k", "--connections-per-address", "0"},
      {"migrate", "--from", "a.sqlite"},
      {"migrate", "--from", "a.sqlite", "--to", "a.sqlite"},
      {"relay"},
  };
  for (const auto& arguments : cases) {
    std::string output;
    EXPECT_EQ(run(arguments, &output), 2) << ::testing::PrintToString(arguments);
    EXPECT_NE(output.find("Usage: marvok-web serve"), std::string::npos);
  }
}

TEST(WebProcess, CannotServeWithoutItsCertificateOrPort) {
  TemporaryFolder folder;
  std::vector<std::string> arguments = serve_arguments(folder.path("members.sqlite"));
  arguments[4] = folder.path("missing.pem");
  std::string output;
  EXPECT_EQ(run(arguments, &output), 1);
  EXPECT_NE(output.find("cannot read"), std::string::npos) << output;

  // Held by a program that does not share it.
  const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(holder, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(holder, reinterpret_cast<const sockaddr*>(&address), length), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  ASSERT_EQ(::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);
  arguments = serve_arguments(folder.path("members.sqlite"));
  arguments.back() = std::to_string(ntohs(address.sin_port));
  EXPECT_EQ(run(arguments, &output), 1);
  EXPECT_NE(output.find("cannot listen"), std::string::npos) << output;
  ::close(holder);
}

TEST(WebProcess, TwoProcessesShareOnePort) {
  TemporaryFolder folder;
  WebProcess first(serve_arguments(folder.path("first.sqlite")));
  const int port = first.serving_port();
  ASSERT_GT(port, 0) << first.errors();
  std::vector<std::string> arguments = serve_arguments(folder.path("second.sqlite"));
  arguments.back() = std::to_string(port);
  WebProcess second(arguments);
  ASSERT_EQ(second.serving_port(), port) << second.errors();
  // The kernel picks the process by each connection's ports: a few
  // connections reach both.
  for (int request = 0; request < 16; ++request) {
    const httplib::Result reply = https_client(port)->Get("/FR-Marvok.php");
    ASSERT_TRUE(reply) << httplib::to_string(reply.error());
    EXPECT_EQ(reply->status, 200);
  }
  for (WebProcess* server : {&first, &second}) {
    server->send_signal(SIGTERM);
    EXPECT_EQ(server->exit_code(), 0);
    EXPECT_NE(server->errors().find(" GET /FR-Marvok.php 200 "), std::string::npos) << server->errors();
  }
}

TEST(WebProcess, TwoServicesOnOneDatabaseServeTheSameMembersAndCountEnrolmentsTogether) {
  if (!suite_runs_on_postgresql()) GTEST_SKIP() << "an SQLite file is one machine's";
  TemporaryFolder folder;
  const std::string database = fresh_database(folder);
  std::vector<std::string> arguments = serve_arguments(database);
  for (const char* option : {"--enrolments-per-hour", "2", "--limit-loopback"}) arguments.emplace_back(option);
  WebProcess first(arguments);
  WebProcess second(arguments);
  ASSERT_GT(first.serving_port(), 0) << first.errors();
  ASSERT_GT(second.serving_port(), 0) << second.errors();
  const auto one = https_client(first.serving_port());
  const auto other = https_client(second.serving_port());
  EXPECT_EQ(one->Get(kIdentify + "801")->body.substr(34, 5), "00001");
  EXPECT_EQ(other->Get(kIdentify + "801")->body.substr(34, 5), "00001") << "enrolled again by the other service";
  EXPECT_EQ(other->Get(kIdentify + "802")->body.substr(34, 5), "00002");
  EXPECT_EQ(one->Get(kIdentify + "803")->status, 429) << "the other service's enrolment was not counted";

  const std::string shared = picture_bytes(40, 20, "PNG");
  std::string record = shared;
  record.resize(kUploadRecordBytes);
  record[kUploadDataBytes + kUploadNameBytes] = static_cast<char>(shared.size());
  record[kUploadDataBytes + kUploadNameBytes + 8] = 7;  // the channel
  ASSERT_EQ(one->Post("/echange/pc_img_share_post.php", record, "multipart/form-data")->status, 200);
  EXPECT_EQ(other->Get("/echange/pc_img_share_get.php?F=7&N=1")->body, shared);
}

}  // namespace
}  // namespace marvok::web_server::testing
