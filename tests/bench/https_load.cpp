#include "https_load.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace marvok::bench {

using Clock = std::chrono::steady_clock;

Load https_load(const std::vector<int>& ports, const std::string& ca, Connection connection, int threads,
                double seconds, const std::string& path) {
  std::atomic<long> failures{0};
  // Each thread's own, in microseconds: nothing shared while measuring.
  std::vector<std::vector<float>> took(static_cast<std::size_t>(threads));
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  std::vector<std::thread> clients;
  for (int t = 0; t < threads; ++t) {
    clients.emplace_back([&, t] {
      httplib::SSLClient client("localhost", ports[static_cast<std::size_t>(t) % ports.size()]);
      client.set_ca_cert_path(ca);
      client.enable_server_certificate_verification(true);
      client.set_keep_alive(connection == Connection::KeptAlive);
      client.set_tcp_nodelay(true);  // as the client's HTTP library does
      std::vector<float>& mine = took[static_cast<std::size_t>(t)];
      while (Clock::now() < end) {
        const auto sent = Clock::now();
        const httplib::Result reply = client.Get(path);
        if (reply && reply->status == 200) {
          mine.push_back(std::chrono::duration<float, std::micro>(Clock::now() - sent).count());
        } else {
          failures.fetch_add(1);
        }
      }
    });
  }
  for (auto& client : clients) client.join();
  Load load;
  load.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  load.failures = failures.load();
  std::vector<float> all;
  for (const auto& mine : took) all.insert(all.end(), mine.begin(), mine.end());
  load.requests = static_cast<long>(all.size());
  if (!all.empty()) {
    std::sort(all.begin(), all.end());
    const auto at = [&](std::size_t index) { return static_cast<double>(all[std::min(index, all.size() - 1)]) / 1e6; };
    load.median = at(all.size() / 2);
    load.p99 = at(all.size() * 99 / 100);
    load.slowest = at(all.size() - 1);
  }
  return load;
}

}  // namespace marvok::bench
