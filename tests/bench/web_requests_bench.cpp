// How many card requests a second the web service answers over HTTPS: as the
// client makes them, a new TLS connection each, and on one kept-alive
// connection, from one and from several client threads. The service runs in
// this process with a certificate made for the run. Then the same while slow
// connections hold the service: silent, stuck in the TLS handshake, dribbling
// a request head, not reading an answer, dribbling an upload. Prints figures
// and never fails on time.
//   web_requests_bench [--seconds N] [--slow N]   (3 seconds a figure, 1000 slow connections)
#include <httplib.h>
#include <sys/resource.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "member_store.h"
#include "request_log.h"
#include "slow_connections.h"
#include "web_server.h"

namespace {

using namespace marvok::web_server;
using Clock = std::chrono::steady_clock;

enum class Connection { NewPerRequest, KeptAlive };

struct Figure {
  long requests = 0;
  long failures = 0;
  double seconds = 0;
  double slowest = 0;  // seconds, the longest one request took
};

Figure measure(int port, const std::string& ca, Connection connection, int threads, double seconds) {
  std::atomic<long> requests{0};
  std::atomic<long> failures{0};
  std::atomic<long> slowest_us{0};
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  std::vector<std::thread> clients;
  for (int t = 0; t < threads; ++t) {
    clients.emplace_back([&] {
      httplib::SSLClient client("localhost", port);
      client.set_ca_cert_path(ca);
      client.enable_server_certificate_verification(true);
      client.set_keep_alive(connection == Connection::KeptAlive);
      client.set_tcp_nodelay(true);  // as the client's HTTP library does
      while (Clock::now() < end) {
        const auto sent = Clock::now();
        const httplib::Result reply = client.Get("/users/1/client.xml");
        (reply && reply->status == 200 ? requests : failures).fetch_add(1);
        const long took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count();
        for (long seen = slowest_us.load(); took > seen && !slowest_us.compare_exchange_weak(seen, took);) {
        }
      }
    });
  }
  for (auto& client : clients) client.join();
  return {requests.load(), failures.load(), std::chrono::duration<double>(Clock::now() - start).count(),
          static_cast<double>(slowest_us.load()) / 1e6};
}

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
      const Figure figure = measure(port, ca, connection, threads, seconds);
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
