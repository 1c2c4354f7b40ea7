#include "support/postgres_server.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

extern char** environ;

namespace marvok::testing {

namespace {

constexpr const char* kScript = MARVOK_POSTGRES_SCRIPT;
constexpr const char* kOwnerVariable = "MARVOK_POSTGRES_OWNER=";

// Runs the script and returns what it wrote, stdout and stderr together.
// The script learns this process's id, to clean up after it should it crash.
std::string run_script(const std::string& command, const std::filesystem::path& folder) {
  int output[2];
  if (::pipe2(output, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
  const std::string folder_text = folder.string();
  std::vector<char*> arguments = {const_cast<char*>("bash"), const_cast<char*>(kScript),
                                  const_cast<char*>(command.c_str()), const_cast<char*>(folder_text.c_str()), nullptr};
  const std::string owner = kOwnerVariable + std::to_string(::getpid());
  std::vector<char*> environment;
  for (char** variable = environ; *variable; ++variable) {
    if (std::string_view(*variable).rfind(kOwnerVariable, 0) != 0) environment.push_back(*variable);
  }
  environment.push_back(const_cast<char*>(owner.c_str()));
  environment.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
  pid_t child = 0;
  const int spawned = ::posix_spawnp(&child, "bash", &actions, nullptr, arguments.data(), environment.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(output[1]);
  std::string text;
  if (spawned == 0) {
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::read(output[0], buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
      if (count > 0) text.append(buffer, static_cast<std::size_t>(count));
    }
  }
  ::close(output[0]);
  int status = 0;
  if (spawned != 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(std::string("test PostgreSQL server: ") + kScript + " " + command + " " + folder_text +
                             " failed:\n" + text);
  }
  return text;
}

// The URL the script prints as its last line, and the port in it.
std::pair<std::string, std::uint16_t> url_and_port(std::string output) {
  while (!output.empty() && output.back() == '\n') output.pop_back();
  const std::string url = output.substr(output.rfind('\n') + 1);
  const auto colon = url.rfind(':');
  const auto slash = url.rfind('/');
  if (url.rfind("postgresql://", 0) != 0 || colon == std::string::npos || slash < colon) {
    throw std::runtime_error("test PostgreSQL server: no URL in what the script wrote:\n" + output);
  }
  return {url, static_cast<std::uint16_t>(std::stoi(url.substr(colon + 1, slash - colon - 1)))};
}

}  // namespace

PostgresServer::PostgresServer() {
  // /tmp rather than TMPDIR: nobody, the server's user under root, must reach
  // it, and the socket's path must stay under the kernel's 107 bytes.
  std::string pattern = "/tmp/marvok-postgres-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  folder_ = pattern;
  try {
    start();
  } catch (...) {
    try {
      run_script("remove", folder_);
    } catch (const std::exception&) {
    }
    throw;
  }
}

PostgresServer::~PostgresServer() {
  try {
    run_script("remove", folder_);
  } catch (const std::exception&) {
  }
}

std::string PostgresServer::url_of(const std::string& database) const {
  return "postgresql://marvok@127.0.0.1:" + std::to_string(port_) + "/" + database;
}

void PostgresServer::create_database(const std::string& name) {
  const bool plain = !name.empty() && name.size() < 64 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
  if (!plain) throw std::invalid_argument("not a plain database name: \"" + name + "\"");
  const std::unique_ptr<PGconn, decltype(&PQfinish)> connection(PQconnectdb(url_.c_str()), PQfinish);
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    throw std::runtime_error("test PostgreSQL server: cannot connect to " + url_ + ": " +
                             PQerrorMessage(connection.get()));
  }
  // Dropping a database that is not there is no news.
  PQsetNoticeProcessor(
      connection.get(), [](void*, const char*) {}, nullptr);
  for (const std::string& command :
       {"DROP DATABASE IF EXISTS \"" + name + "\" WITH (FORCE)", "CREATE DATABASE \"" + name + "\""}) {
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection.get(), command.c_str()), PQclear);
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
      throw std::runtime_error("test PostgreSQL server: " + command + ": " + PQerrorMessage(connection.get()));
    }
  }
}

void PostgresServer::stop() { run_script("stop", folder_); }

void PostgresServer::start() { std::tie(url_, port_) = url_and_port(run_script("start", folder_)); }

PostgresServer& shared_postgres_server() {
  static PostgresServer server;
  return server;
}

}  // namespace marvok::testing
