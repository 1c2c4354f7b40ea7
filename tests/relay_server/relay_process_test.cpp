#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "running_relay.h"
#include "test_client.h"

namespace marvok::relay_server::testing {
namespace {

// The marvok-relay executable as an operator starts it, with its output
// kept in files for the test to read.
class RelayProcess {
 public:
  // Nothing is /dev/null; File is a file holding the command "list".
  enum class Input { Nothing, Pipe, File };

  explicit RelayProcess(std::vector<std::string> arguments, Input input = Input::Nothing)
      : output_(std::tmpfile()), errors_(std::tmpfile()) {
    int input_pipe[2] = {-1, -1};
    if (input == Input::Pipe && ::pipe(input_pipe) != 0) ADD_FAILURE() << "no pipe";
    std::FILE* commands = std::tmpfile();
    std::fputs("list\n", commands);
    std::rewind(commands);
    pid_ = ::fork();
    if (pid_ == 0) {
      const int stdin_fd = input == Input::Pipe   ? input_pipe[0]
                           : input == Input::File ? ::fileno(commands)
                                                  : ::open("/dev/null", O_RDONLY);
      ::dup2(stdin_fd, STDIN_FILENO);
      ::dup2(::fileno(output_), STDOUT_FILENO);
      ::dup2(::fileno(errors_), STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(MARVOK_RELAY_EXECUTABLE)};
      for (auto& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      std::_Exit(127);
    }
    std::fclose(commands);
    if (input == Input::Pipe) {
      ::close(input_pipe[0]);
      input_ = input_pipe[1];
    }
  }

  RelayProcess(const RelayProcess&) = delete;
  RelayProcess& operator=(const RelayProcess&) = delete;

  ~RelayProcess() {
    if (pid_ > 0 && !exit_code_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    close_input();
    std::fclose(output_);
    std::fclose(errors_);
  }

  void send_signal(int signal) { ::kill(pid_, signal); }
  void type(std::string_view line) {
    const std::string text = std::string(line) + "\n";
    ASSERT_EQ(::write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void close_input() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }

  // The exit code, or nothing when the process did not end in time or died of a signal.
  std::optional<int> wait_for_exit(std::chrono::milliseconds limit = 5000ms) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
      }
      std::this_thread::sleep_for(10ms);
    }
    return std::nullopt;
  }

  std::string output() const { return contents(output_); }
  std::string errors() const { return contents(errors_); }

 private:
  static std::string contents(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, file) != nullptr) text += chunk;
    return text;
  }

  std::FILE* output_;
  std::FILE* errors_;
  pid_t pid_ = -1;
  int input_ = -1;
  std::optional<int> exit_code_;
};

// Lists go only to addresses with members, so the client joins channel 0.
bool wait_until_serving(TestClient& client) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < deadline) {
    client.send_presences(0);
    if (client.ask_members(0, 100ms)) return true;
  }
  return false;
}

void expect_clean_end_on(int signal) {
  RelayProcess relay({"--address", "127.0.0.1"});
  TestClient client(1);
  ASSERT_TRUE(wait_until_serving(client)) << relay.errors();
  // Its standard input has ended long ago, which must not stop it.
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(client.ask_members(0));

  relay.send_signal(signal);
  EXPECT_EQ(relay.wait_for_exit(), 0) << relay.errors();
  EXPECT_NE(relay.errors().find("stopping"), std::string::npos) << relay.errors();
}

TEST(RelayProcess, EndsWithCodeZeroOnSigterm) { expect_clean_end_on(SIGTERM); }

TEST(RelayProcess, EndsWithCodeZeroOnSigint) { expect_clean_end_on(SIGINT); }

// A file cannot be waited on as a pipe can; its commands are still obeyed.
TEST(RelayProcess, ObeysCommandsFromAFileAndKeepsServing) {
  RelayProcess relay({"--address", "127.0.0.1"}, RelayProcess::Input::File);
  TestClient client(1);
  ASSERT_TRUE(wait_until_serving(client)) << relay.errors();

  relay.send_signal(SIGTERM);
  EXPECT_EQ(relay.wait_for_exit(), 0) << relay.errors();
  EXPECT_NE(relay.output().find("0 client(s)"), std::string::npos) << relay.output();
}

TEST(RelayProcess, TakesOperatorCommandsFromStandardInput) {
  RelayProcess relay({"--address", "127.0.0.1"}, RelayProcess::Input::Pipe);
  TestClient client(42);
  ASSERT_TRUE(wait_until_serving(client)) << relay.errors();
  client.join(6);

  relay.type("close 42");
  const auto notice = client.receive_control();
  ASSERT_TRUE(notice);
  EXPECT_EQ(relay::read_notice(*notice), relay::kNoticeSupervisorCloses);
  relay.type("list");
  relay.close_input();
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(client.ask_members(6));

  relay.send_signal(SIGTERM);
  EXPECT_EQ(relay.wait_for_exit(), 0) << relay.errors();
  EXPECT_NE(relay.output().find("member 42 channel 6"), std::string::npos) << relay.output();
  EXPECT_NE(relay.errors().find("member 42 joined channel 6"), std::string::npos) << relay.errors();
}

// A relay run as a service has no terminal: its operator comes through the
// control socket, one command at a time, and a wrong one changes nothing.
TEST(RelayProcess, TakesOperatorCommandsThroughItsControlSocket) {
  const std::string path = ::testing::TempDir() + "relay-control." + std::to_string(::getpid());
  RelayProcess relay({"--address", "127.0.0.1", "--threads", "2", "--control-socket", path});
  TestClient client(42);
  ASSERT_TRUE(wait_until_serving(client)) << relay.errors();
  client.join(5);
  const auto operator_says = [&path](std::string command) {
    RelayProcess sent({"command", "--control-socket", path, std::move(command)});
    EXPECT_EQ(sent.wait_for_exit(), 0) << sent.errors();
    return sent.output();
  };

  EXPECT_EQ(operator_says("close everyone"), "unknown command; try: close MEMBER, close all, list\n");
  EXPECT_NE(operator_says("list").find("member 42 channel 5"), std::string::npos);
  EXPECT_EQ(operator_says("close all"), "notice 240 sent to 1 client(s)\n");
  EXPECT_EQ(notice_in(client.receive_control()), relay::kNoticeSupervisorCloses);

  relay.send_signal(SIGTERM);
  EXPECT_EQ(relay.wait_for_exit(), 0) << relay.errors();
  EXPECT_NE(::access(path.c_str(), F_OK), 0) << "the control socket outlived the relay";
}

TEST(RelayProcess, BadOptionsExitWithTwoAndShowUsage) {
  const std::vector<std::vector<std::string>> refused = {
      {"--frobnicate"},
      {},
      {"--address", "127.0.0.1", "--opus-channel", "11"},
      {"--address", "127.0.0.1", "--channels", "7-5"},
      {"command", "list"},
      {"gateway-rules", "--public-address", "203.0.113.7", "--host", "10.0.0.2=0-5", "--host", "10.0.0.3=5-10"},
  };
  for (const auto& arguments : refused) {
    RelayProcess relay(arguments);
    EXPECT_EQ(relay.wait_for_exit(), 2);
    EXPECT_NE(relay.errors().find("Usage: marvok-relay"), std::string::npos) << relay.errors();
  }
}

TEST(RelayProcess, HelpPrintsUsageAndExitsWithZero) {
  RelayProcess relay({"--help"});
  EXPECT_EQ(relay.wait_for_exit(), 0);
  EXPECT_NE(relay.output().find("Usage: marvok-relay"), std::string::npos) << relay.output();
}

TEST(RelayProcess, CommandToNoRelayExitsWithOne) {
  RelayProcess command({"command", "--control-socket", "/nonexistent/control", "list"});
  EXPECT_EQ(command.wait_for_exit(), 1);
  EXPECT_EQ(command.errors(),
            "marvok-relay: cannot reach the relay at /nonexistent/control: No such file or directory\n");
}

TEST(RelayProcess, PortInUseExitsWithOne) {
  const auto taken = platform::UdpSocket::open_bound({kLoopback, static_cast<std::uint16_t>(relay::voice_port_of(7))});
  ASSERT_TRUE(taken);
  RelayProcess relay({"--address", "127.0.0.1"});
  EXPECT_EQ(relay.wait_for_exit(), 1);
  EXPECT_NE(relay.errors().find("127.0.0.1:30007"), std::string::npos) << relay.errors();
  EXPECT_NE(relay.errors().find("in use"), std::string::npos) << relay.errors();
}

}  // namespace
}  // namespace marvok::relay_server::testing
