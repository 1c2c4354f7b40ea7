// The web service on each of its engines, run as the operator runs it: card
// requests a second from real marvok-web serve processes on an SQLite file,
// on PostgreSQL, and two processes on one PostgreSQL database, with a new TLS
// connection per request as the client makes them and kept alive. Then how
// long marvok-web migrate takes to copy a network's members with their
// pictures from an SQLite file to a fresh PostgreSQL database. PostgreSQL is
// a server of the bench's own. Prints figures and never fails on time.
//   web_database_bench [--seconds N] [--members N]   (3 seconds a figure, 10000 members to migrate)
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QImage>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "database.h"
#include "https_load.h"
#include "member_store.h"
#include "support/postgres_server.h"

namespace {

using namespace marvok::web_server;
using marvok::bench::Connection;
using Clock = std::chrono::steady_clock;

// Enough that the card is looked up in a real index, not a table of one.
constexpr int kServedMembers = 500;
// More than the cores: each thread waits on its reply most of the time.
constexpr int kClientThreads = 4;

class Folder {
 public:
  Folder() {
    char pattern[] = "/tmp/marvok-web-database-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("no temporary folder");
    folder_ = pattern;
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string path(const std::string& name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
};

std::string contents(const std::string& path) {
  std::ifstream file(path);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// marvok-web with its output and errors in files; killed with the bench,
// however the bench ends.
pid_t start_web(std::vector<std::string> arguments, const std::string& output, const std::string& errors) {
  // Else the child's freopen would write out again what is buffered here.
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (!std::freopen(output.c_str(), "w", stdout) || !std::freopen(errors.c_str(), "w", stderr)) std::_Exit(126);
    std::vector<char*> argv{const_cast<char*>(MARVOK_WEB_EXECUTABLE)};
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    std::fprintf(stderr, "cannot run %s\n", argv[0]);
    std::fflush(stderr);
    std::_Exit(127);
  }
  if (pid < 0) throw std::runtime_error("cannot start marvok-web");
  return pid;
}

// marvok-web serve on a free port of its own.
class Service {
 public:
  Service(const std::string& database, const Folder& folder, const std::string& name)
      : output_(folder.path(name + ".out")), errors_(folder.path(name + ".log")) {
    pid_ = start_web({"serve", "--database", database, "--certificate", folder.path("tls/server.pem"), "--key",
                      folder.path("tls/server.key"), "--port", "0"},
                     output_, errors_);
    constexpr std::string_view kServing = "marvok-web: serving https://127.0.0.1:";
    for (int waited_ms = 0; waited_ms < 10'000 && port_ == 0 && running(); waited_ms += 10) {
      const std::string text = contents(output_);
      if (text.starts_with(kServing) && text.find(" (database") != std::string::npos) {
        port_ = std::stoi(text.substr(kServing.size()));
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (port_ == 0) {
      stop();
      throw std::runtime_error("marvok-web serve " + name + " did not start:\n" + contents(errors_));
    }
  }
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;
  ~Service() { stop(); }
  int port() const { return port_; }

 private:
  bool running() {
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
    return pid_ > 0;
  }

  void stop() {
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    for (int waited_ms = 0; ::waitpid(pid_, nullptr, WNOHANG) == 0; waited_ms += 10) {
      if (waited_ms >= 10'000) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  std::string output_;
  std::string errors_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// A 96 x 96 PNG of the member's own, busy enough to weigh some kilobytes as
// a small photo does rather than the hundred bytes of a flat colour.
std::string picture_of(int number) {
  QImage image(96, 96, QImage::Format_RGB32);
  std::minstd_rand noise(static_cast<unsigned>(number));
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 96; ++x)
      image.setPixel(x, y, qRgb((x * 2 + number) & 255, (y * 2 + number / 7) & 255, static_cast<int>(noise() & 63)));
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

// Members 1 to count with a name, a city and a picture each, in one
// transaction straight into the tables; the bytes of their pictures.
std::size_t fill(const std::string& where, int count) {
  MemberStore store(where);  // makes the tables
  const auto database = store.pool().lease();
  WriteTransaction transaction(*database);
  std::size_t picture_bytes = 0;
  for (int number = 1; number <= count; ++number) {
    const std::string picture = picture_of(number);
    picture_bytes += picture.size();
    database
        ->prepare(
            "INSERT INTO members (number, name, city, picture, picture_version, last_seen) VALUES (?, ?, ?, ?, 1, ?)")
        ->bind(1, number)
        .bind(2, "Membre " + std::to_string(number))
        .bind(3, "Lyon")
        .bind_blob(4, picture)
        .bind(5, MemberStore::unix_now())
        .run();
  }
  transaction.commit();
  return picture_bytes;
}

double seconds_of(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

void print_requests(const char* label, const std::vector<int>& ports, const std::string& ca, double seconds) {
  for (const auto& [connection, kind] : {std::pair{Connection::NewPerRequest, "new connection per request"},
                                         std::pair{Connection::KeptAlive, "kept-alive connection"}}) {
    const auto load = marvok::bench::https_load(ports, ca, connection, kClientThreads, seconds);
    std::printf("  %-30s %-26s %6.0f requests/s, p50 %6.2f ms, p99 %6.2f ms  (%ld requests, %ld failed)\n", label, kind,
                static_cast<double>(load.requests) / load.seconds, load.median * 1e3, load.p99 * 1e3, load.requests,
                load.failures);
  }
}

int run(double seconds, int migrated_members) {
  Folder folder;
  const std::string certificate = std::string(MARVOK_WEB_CERTIFICATE_SCRIPT) + " " + folder.path("tls");
  if (std::system(certificate.c_str()) != 0) throw std::runtime_error("the certificate script failed");
  const std::string ca = folder.path("tls/ca.pem");
  marvok::testing::PostgresServer postgres;
  postgres.create_database("served");
  const std::string sqlite = folder.path("served.sqlite");
  const std::string postgresql = postgres.url_of("served");
  fill(sqlite, kServedMembers);
  fill(postgresql, kServedMembers);

  std::printf(
      "GET /users/1/client.xml over HTTPS (RSA 2048) from real marvok-web serve processes, %d members in the\n"
      "database: one read of a member by number, no sign-in, no write. %d client threads in this process;\n"
      "%u cores, shared by the clients, the services and PostgreSQL. %.1f s a figure.\n",
      kServedMembers, kClientThreads, std::thread::hardware_concurrency(), seconds);
  {
    const Service service(sqlite, folder, "sqlite");
    print_requests("SQLite, one process", {service.port()}, ca, seconds);
  }
  {
    const Service service(postgresql, folder, "postgresql");
    print_requests("PostgreSQL, one process", {service.port()}, ca, seconds);
  }
  {
    const Service first(postgresql, folder, "postgresql-1");
    const Service second(postgresql, folder, "postgresql-2");
    print_requests("PostgreSQL, two processes", {first.port(), second.port()}, ca, seconds);
    std::printf(
        "  (two processes on a port each, the client threads split between them, as the kernel's port sharing\n"
        "  would spread connections over processes on one port)\n");
  }

  const std::string source = folder.path("source.sqlite");
  const std::size_t picture_bytes = fill(source, migrated_members);
  postgres.create_database("migrated");
  const auto start = Clock::now();
  const pid_t migrate = start_web({"migrate", "--from", source, "--to", postgres.url_of("migrated")},
                                  folder.path("migrate.out"), folder.path("migrate.log"));
  int status = 0;
  rusage used{};
  ::wait4(migrate, &status, 0, &used);
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("marvok-web migrate failed:\n" + contents(folder.path("migrate.log")));
  std::printf(
      "marvok-web migrate, %d members with a distinct 96 x 96 PNG picture each (%.1f kB on average),\n"
      "from an SQLite file of %.1f MB to a fresh PostgreSQL database:\n"
      "  %.2f s, %.0f members/s  (marvok-web itself busy %.2f s of it: the rest is PostgreSQL's work and waits)\n",
      migrated_members, static_cast<double>(picture_bytes) / migrated_members / 1e3,
      static_cast<double>(std::filesystem::file_size(source)) / 1e6, took, migrated_members / took,
      seconds_of(used.ru_utime) + seconds_of(used.ru_stime));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 3;
  int members = 10'000;
  for (int i = 1; i < argc; i += 2) {
    const std::string_view option = argv[i];
    const std::string_view value = i + 1 < argc ? argv[i + 1] : "";
    const auto read = [&](auto& into) {
      return std::from_chars(value.data(), value.data() + value.size(), into).ec == std::errc();
    };
    const bool known = (option == "--seconds" && read(seconds)) || (option == "--members" && read(members));
    if (!known || seconds <= 0 || members < 1 || members > 65535) {
      std::fprintf(stderr, "usage: web_database_bench [--seconds N] [--members N]   (N members: 1 to 65535)\n");
      return 2;
    }
  }
  try {
    return run(seconds, members);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "web_database_bench: %s\n", failure.what());
    return 1;
  }
}
