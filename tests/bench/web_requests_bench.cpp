// How many card requests a second the web service answers over HTTPS: as the
// client makes them, a new TLS connection each, and on one kept-alive
// connection, from one and from several client threads. The service runs in
// this process with a certificate made for the run. Then the same while slow
// connections hold the service: silent, stuck in the TLS handshake, dribbling
// a request head, not reading an answer, dribbling an upload. Prints figures
// and never fails on time.
//   web_requests_bench [--seconds N] [--slow N]   (3 seconds a figure, 1000 slow connections)
#include <sys/resource.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

#include "https_load.h"
#include "member_store.h"
#include "request_log.h"
#include "slow_connections.h"
#include "web_server.h"

namespace {

using namespace marvok::web_server;
using marvok::bench::Connection;
using marvok::bench::https_load;
using marvok::bench::Load;
using Clock = std::chrono::steady_clock;

double process_cpu_seconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void print_figures(int port, const std::string& ca, double seconds) {
  for (const auto& [connection, label] : {std::pair{Connection::NewPerRequest, "new connection per request"},
                                          std::pair{Connection::KeptAlive, "kept-alive connection     "}}) {
    for (const int threads : {1, 4}) {
      const Load figure = https_load({port}, ca, connection, threads, seconds);
      std::printf("  %s, %d client thread%s: %8.0f requests/s, slowest %6.3f s  (%ld requests, %ld failed)\n", label,
                  threads, threads == 1 ? " " : "s", static_cast<double>(figure.requests) / figure.seconds,
                  figure.slowest, figure.requests, figure.failures);
    }
  }
}

// Slow connections of every kind, about a third each of the first three;
// uploads are few, as the service receives only so many at once.
bool hold_slow_connections(marvok::web_server::testing::SlowConnections& slow, int count) {
  using marvok::web_server::testing::Slowness;
  const int uploads = std::min(count / 20, 30);
  const int unread = count / 20;
  const int rest = count - uploads - unread;
  return slow.open(Slowness::Silent, rest / 3) && slow.open(Slowness::HalfHandshake, rest / 3) &&
         slow.open(Slowness::DribbledHead, rest - 2 * (rest / 3)) && slow.open(Slowness::UnreadAnswer, unread) &&
         slow.open(Slowness::DribbledBody, uploads);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 3;
  int slow_count = 1000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    const std::string_view value = argv[i + 1];
    if (option == "--seconds") std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (option == "--slow") std::from_chars(value.data(), value.data() + value.size(), slow_count);
  }
  char pattern[] = "/tmp/marvok-web-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;
  const std::string script = std::string(MARVOK_WEB_CERTIFICATE_SCRIPT) + " " + folder;
  if (std::system(script.c_str()) != 0) {
    std::fprintf(stderr, "web_requests_bench: the certificate script failed\n");
    return 1;
  }
  {
    MemberStore store(folder + "/members.sqlite");
    store.identify("1000");
    RequestLog log(nullptr);  // a log line per request would be measured too
    WebServer server(store, log);
    ServeOptions options;
    options.certificate = folder + "/server.pem";
    options.key = folder + "/server.key";
    options.port = 0;
    std::string error;
    if (!server.start(options, error)) {
      std::fprintf(stderr, "web_requests_bench: %s\n", error.c_str());
      return 1;
    }
    std::printf(
        "GET /users/1/client.xml over HTTPS (RSA 2048 certificate), clients in the same process,\n"
        "%u cores, %.1f s a figure\n",
        std::thread::hardware_concurrency(), seconds);
    print_figures(server.port(), folder + "/ca.pem", seconds);
    marvok::web_server::testing::SlowConnections slow(server.port());
    const auto opening = Clock::now();
    if (!hold_slow_connections(slow, slow_count)) {
      std::fprintf(stderr, "web_requests_bench: could not open %d slow connections\n", slow_count);
      return 1;
    }
    const double opened_in = std::chrono::duration<double>(Clock::now() - opening).count();
    // What holding them costs while nothing else happens.
    const double cpu_before = process_cpu_seconds();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::printf("with %d slow connections held (opened in %.1f s; %.1f %% of a core while only held):\n", slow_count,
                opened_in, (process_cpu_seconds() - cpu_before) / 2 * 100);
    print_figures(server.port(), folder + "/ca.pem", seconds);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
