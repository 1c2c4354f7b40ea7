// How many card requests a second the web service answers over HTTPS: as the
// client makes them, a new TLS connection each, and on one kept-alive
// connection, from one and from several client threads. The service runs in
// this process with a certificate made for the run. Prints figures and never
// fails on time.
//   web_requests_bench [[--seconds] N]   (3 seconds a figure by default)
#include <httplib.h>

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
#include "web_server.h"

namespace {

using namespace marvok::web_server;
using Clock = std::chrono::steady_clock;

enum class Connection { NewPerRequest, KeptAlive };

struct Figure {
  long requests = 0;
  long failures = 0;
  double seconds = 0;
};

Figure measure(int port, const std::string& ca, Connection connection, int threads, double seconds) {
  std::atomic<long> requests{0};
  std::atomic<long> failures{0};
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
        const httplib::Result reply = client.Get("/users/1/client.xml");
        (reply && reply->status == 200 ? requests : failures).fetch_add(1);
      }
    });
  }
  for (auto& client : clients) client.join();
  return {requests.load(), failures.load(), std::chrono::duration<double>(Clock::now() - start).count()};
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 3;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--seconds") continue;
    std::from_chars(argument.data(), argument.data() + argument.size(), seconds);
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
    for (const auto& [connection, label] : {std::pair{Connection::NewPerRequest, "new connection per request"},
                                            std::pair{Connection::KeptAlive, "kept-alive connection     "}}) {
      for (const int threads : {1, 4}) {
        const Figure figure = measure(server.port(), folder + "/ca.pem", connection, threads, seconds);
        std::printf("  %s, %d client thread%s: %8.0f requests/s  (%ld requests, %ld failed)\n", label, threads,
                    threads == 1 ? " " : "s", static_cast<double>(figure.requests) / figure.seconds, figure.requests,
                    figure.failures);
      }
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
