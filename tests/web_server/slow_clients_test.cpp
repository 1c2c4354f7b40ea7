// Clients that connect and then crawl, or stop, must not keep the others
// waiting; and the service judges a connection by its progress, so a long
// steady upload goes through while a stalled connection is let go. One
// address holding many connections locks out only itself.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "running_web_service.h"
#include "slow_connections.h"
#include "wire_records.h"

namespace marvok::web_server::testing {
namespace {

using namespace std::chrono_literals;

TEST(SlowClients, DoNotKeepOthersWaiting) {
  RunningWebService service;
  service.store().identify("1000");
  SlowConnections slow(service.port());
  const std::pair<Slowness, int> crowd[] = {{Slowness::Silent, 100},
                                            {Slowness::HalfHandshake, 100},
                                            {Slowness::DribbledHead, 40},
                                            {Slowness::UnreadAnswer, 20},
                                            {Slowness::DribbledBody, 20}};
  for (const auto& [slowness, count] : crowd)
    ASSERT_TRUE(slow.open(slowness, count)) << "the connections before were enough to stall the service";

  for (int request = 0; request < 3; ++request) {
    const auto client = https_client(service.port());
    client->set_connection_timeout(2s);
    client->set_read_timeout(2s);
    const httplib::Result reply = client->Get("/users/1/client.xml");
    ASSERT_TRUE(reply) << httplib::to_string(reply.error());
    EXPECT_EQ(reply->status, 200);
  }
}

TEST(SlowClients, AnUploadPastOneAddressShareIsAnsweredBusyNotCut) {
  RunningWebService service;
  SlowConnections slow(service.port());
  ASSERT_TRUE(slow.open(Slowness::DribbledBody, 4));
  std::this_thread::sleep_for(300ms);  // for the service to read their heads
  // Sent whole without waiting for the go-ahead, as the client sends it.
  const httplib::Result reply = service.post("/echange/pc_img_share_post.php", std::string(kUploadRecordBytes, '\0'));
  ASSERT_TRUE(reply) << httplib::to_string(reply.error());
  EXPECT_EQ(reply->status, 503);
}

// The service learns of closed connections in its own time.
bool within_seconds(int seconds, const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

bool answered_from(const std::string& source, int port) {
  const auto connection = TlsConnection::open(port, 2s, source);
  if (!connection || !connection->write("GET /FR-Marvok.php HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n"))
    return false;
  const std::optional<std::string> answer = connection->read_until_closed();
  return answer && answer->starts_with("HTTP/1.1 200");
}

TEST(SlowClients, AnAddressHoldingItsShareOfConnectionsLocksOutOnlyItself) {
  constexpr int kShare = 8;
  ServeOptions options;
  options.connections_per_address = kShare;
  options.limit_loopback = true;
  RunningWebService service(options);
  {
    SlowConnections abandoned(service.port());
    ASSERT_TRUE(abandoned.open(Slowness::HalfHandshake, kShare));
  }  // closed mid-handshake: the service sees failed handshakes
  std::unique_ptr<SlowConnections> held;
  // Through the handshake, so the service has taken each of them in.
  ASSERT_TRUE(within_seconds(3, [&] {
    held = std::make_unique<SlowConnections>(service.port());
    return held->open(Slowness::DribbledHead, kShare);
  })) << "connections closed before are still counted";

  EXPECT_FALSE(TlsConnection::open(service.port(), 1s)) << "one more than the share was taken in";
  EXPECT_TRUE(answered_from("127.0.0.2", service.port()));
  held.reset();
  EXPECT_TRUE(within_seconds(3, [&] { return answered_from("127.0.0.1", service.port()); }));
}

double process_cpu_seconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(SlowClients, CostNoProcessorTimeWhileTheyWait) {
  RunningWebService service;
  SlowConnections slow(service.port());
  for (const Slowness slowness : {Slowness::Silent, Slowness::HalfHandshake, Slowness::DribbledHead,
                                  Slowness::UnreadAnswer, Slowness::DribbledBody})
    ASSERT_TRUE(slow.open(slowness, 5));
  const double before = process_cpu_seconds();
  std::this_thread::sleep_for(1s);
  // A loop that spins on one of them takes a whole core.
  EXPECT_LT(process_cpu_seconds() - before, 0.3);
}

TEST(SlowClients, AreJudgedByProgressNotTotalTime) {
  ServeOptions options;
  options.idle_seconds = 1;
  RunningWebService service(options);
  // Read after the upload, about 2.5 s later: by then it must have been
  // closed, and a second more is all it is given.
  const auto stalled = TlsConnection::open(service.port(), 1s);
  ASSERT_TRUE(stalled);

  // An upload record sent in eight parts over more than twice the idle limit.
  const auto uploading = TlsConnection::open(service.port());
  ASSERT_TRUE(uploading);
  ASSERT_TRUE(uploading->write("POST /echange/pc_img_share_post.php HTTP/1.1\r\nHost: localhost\r\nContent-Length: " +
                               std::to_string(kUploadRecordBytes) + "\r\n\r\n"));
  const std::string record(kUploadRecordBytes, '\0');
  const std::size_t part = record.size() / 8 + 1;
  for (std::size_t at = 0; at < record.size(); at += part) {
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(uploading->write(std::string_view(record).substr(at, part)));
  }
  const std::optional<std::string> answer = uploading->read_until_closed();
  ASSERT_TRUE(answer);
  EXPECT_TRUE(answer->starts_with("HTTP/1.1 400")) << answer->substr(0, 40);  // an empty record, read whole

  EXPECT_TRUE(stalled->read_until_closed()) << "the stalled connection was left open";
}

}  // namespace
}  // namespace marvok::web_server::testing
