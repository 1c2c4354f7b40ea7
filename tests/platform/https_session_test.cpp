// The HTTPS session against real TLS servers on loopback, with certificates
// made for the test run.
#include "platform/https_session.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <set>
#include <thread>
#include <vector>

#include "support/https_test_server.h"

namespace marvok::platform {
namespace {

using namespace std::chrono_literals;
using testing::SilentServer;
using testing::TestHttpsServer;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// The connection limit covers the TLS handshake, which a sanitizer build on a
// busy machine can take most of a second to finish.
constexpr HttpsTimeouts kQuick{1500ms, 1s, std::nullopt};
// Room for a loaded machine; curl's own stall check, which averages over five
// seconds, would still overrun it.
constexpr auto kMargin = 3s;

// Bytes whose order shows: a chunk delivered twice or out of place breaks the comparison.
Bytes numbered_bytes(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8) ^ (i >> 16));
  return bytes;
}

struct Received {
  std::set<int> statuses;
  Bytes body;
  int chunks = 0;
};

HttpsResult get(HttpsSession& session, std::string_view path, Received& received, int chunk_limit = 1 << 30) {
  return session.get(path, [&](int status, std::span<const std::uint8_t> chunk) {
    received.statuses.insert(status);
    received.body.insert(received.body.end(), chunk.begin(), chunk.end());
    return ++received.chunks < chunk_limit;
  });
}

HttpsSession open(const WebServiceAddress& address, HttpsTimeouts timeouts = {}) {
  return HttpsSession::open(address, timeouts).value();
}

TEST(HttpsSessionTest, GetDeliversTheStatusAndTheBodyInOrder) {
  TestHttpsServer server;
  HttpsSession session = open(server.address());
  for (const auto& [status, size] : {std::pair{200, 0}, {200, 5}, {200, 3'000'000}, {404, 9}}) {
    SCOPED_TRACE(::testing::PrintToString(std::pair{status, size}));
    const Bytes body = numbered_bytes(static_cast<std::size_t>(size));
    server.get("/users/7/client.xml", [&, status = status](const auto&, auto& response) {
      response.status = status;
      response.set_content(reinterpret_cast<const char*>(body.data()), body.size(), "application/octet-stream");
    });
    Received received;
    const HttpsResult result = get(session, "/users/7/client.xml", received);
    EXPECT_EQ(result.stage, HttpsStage::Answered);
    EXPECT_EQ(result.status, status);
    EXPECT_EQ(result.error_code, CURLE_OK);
    EXPECT_TRUE(received.body == body) << received.body.size() << " bytes received of " << size;
    EXPECT_EQ(received.statuses, size ? std::set{status} : std::set<int>{});
    EXPECT_EQ(server.last_request().value_or(httplib::Request{}).get_header_value("User-Agent"), "Marvok/1.0");
  }
}

TEST(HttpsSessionTest, ASinkThatStopsLeavesTheRestOfTheBodyUnread) {
  TestHttpsServer server;
  constexpr std::size_t kBodySize = 64 << 20;
  std::atomic<std::size_t> written = 0;
  std::promise<void> served;
  server.get("/big", [&](const auto&, httplib::Response& response) {
    response.set_content_provider(
        kBodySize, "application/octet-stream",
        [&](std::size_t, std::size_t length, httplib::DataSink& sink) {
          const std::string block(std::min<std::size_t>(length, 64 << 10), 'x');
          if (!sink.write(block.data(), block.size())) return false;
          written += block.size();
          return true;
        },
        [&](bool) { served.set_value(); });
  });
  HttpsSession session = open(server.address());
  Received received;
  const HttpsResult result = get(session, "/big", received, 1);
  EXPECT_EQ(result.stage, HttpsStage::Answered);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.error_code, CURLE_WRITE_ERROR);
  EXPECT_EQ(received.chunks, 1);
  ASSERT_EQ(served.get_future().wait_for(10s), std::future_status::ready);
  EXPECT_LT(written, kBodySize / 4);
}

TEST(HttpsSessionTest, PostSendsTheBodyAndItsTypeAndReturnsTheStatus) {
  TestHttpsServer server;
  HttpsSession session = open(server.address());
  for (const auto& [size, status] : {std::pair{20, 200}, {10'000'268, 200}, {0, 503}}) {
    SCOPED_TRACE(size);
    server.post("/echange/pc_img_share_post.php", [status = status](const auto&, auto& response) {
      response.status = status;
      response.set_content("an answer nobody reads", "text/plain");
    });
    const Bytes body = numbered_bytes(static_cast<std::size_t>(size));
    const HttpsResult result = session.post("/echange/pc_img_share_post.php", body, "multipart/form-data");
    EXPECT_EQ(result.stage, HttpsStage::Answered);
    EXPECT_EQ(result.status, status);
    const auto request = server.last_request();
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->body == std::string(body.begin(), body.end())) << request->body.size() << " bytes";
    EXPECT_EQ(request->get_header_value("Content-Type"), "multipart/form-data");
    EXPECT_FALSE(request->has_header("Expect"));
  }
}

TEST(HttpsSessionTest, ASpaceInThePathGoesOutEscaped) {
  TestHttpsServer server;
  server.get("/Tr8mQe2xVk.php", [](const auto&, auto& response) { response.status = 200; });
  HttpsSession session = open(server.address());
  Received received;
  EXPECT_EQ(get(session, "/Tr8mQe2xVk.php?S=2&I=4096&V=KALVIRO 0.7.8&A=&F=", received).status, 200);
  const auto request = server.last_request();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->target, "/Tr8mQe2xVk.php?S=2&I=4096&V=KALVIRO%200.7.8&A=&F=");
  EXPECT_EQ(request->get_param_value("V"), "KALVIRO 0.7.8");
}

// Nothing reaches a handler: not through a refused connection, nor past a
// certificate that does not verify, whatever authority the session trusts. The
// silent service never answers the TLS handshake, so the connect time-out ends
// the request before any of it was sent.
TEST(HttpsSessionTest, AServiceThatCannotBeReachedHasNotHadTheRequest) {
  testing::RefusingPort refusing;
  SilentServer silent;
  TestHttpsServer trusted;
  TestHttpsServer untrusted(testing::untrusted_certificates());
  const auto with_authority = [](WebServiceAddress address, std::string ca_file) {
    address.ca_file = std::move(ca_file);
    return address;
  };
  const std::pair<WebServiceAddress, CURLcode> cases[] = {
      {{"127.0.0.1", refusing.port(), trusted.address().ca_file}, CURLE_COULDNT_CONNECT},
      {untrusted.address(), CURLE_PEER_FAILED_VERIFICATION},
      {with_authority(trusted.address(), ""), CURLE_PEER_FAILED_VERIFICATION},
      {with_authority(trusted.address(), "/nonexistent/ca.pem"), CURLE_SSL_CACERT_BADFILE},
      {{"127.0.0.1", silent.port(), ""}, CURLE_OPERATION_TIMEDOUT},
  };
  for (const auto& [address, error] : cases) {
    SCOPED_TRACE(address.port);
    HttpsSession session = open(address, kQuick);
    const auto start = Clock::now();
    const HttpsResult fetched = session.get("/users/7/client.xml", {});
    EXPECT_LT(Clock::now() - start, kQuick.connect + kMargin);
    EXPECT_EQ(fetched.stage, HttpsStage::NotSent);
    EXPECT_EQ(fetched.error_code, static_cast<unsigned long>(error));
    EXPECT_EQ(fetched.status, std::nullopt);
    EXPECT_EQ(session.post("/users/params.php", numbered_bytes(20), "multipart/form-data").stage, HttpsStage::NotSent);
  }
  EXPECT_EQ(trusted.last_request(), std::nullopt);
  EXPECT_EQ(untrusted.last_request(), std::nullopt);
}

TEST(HttpsSessionTest, AnAddressOrTypeThatIsNoRequestIsNotOpened) {
  TestHttpsServer server;
  const auto on = [&](std::string host) { return WebServiceAddress{std::move(host), server.port(), ""}; };
  for (const auto& [address, path] : {std::pair{on("no such host"), "/x"}, {on(""), "/x"}, {on("127.0.0.1"), "x"}}) {
    HttpsSession session = open(address);
    EXPECT_EQ(session.get(path, {}).stage, HttpsStage::NotOpened) << address.host << path;
  }
  HttpsSession session = open(server.address());
  EXPECT_EQ(session.post("/x", {}, "text/plain\r\nX-Added: 1").stage, HttpsStage::NotOpened);
  HttpsSession moved = std::move(session);
  EXPECT_EQ(session.get("/x", {}).stage, HttpsStage::NotOpened);  // NOLINT(bugprone-use-after-move)
}

TEST(HttpsSessionTest, AServiceThatHoldsItsAnswerBeyondTheStallLimitGaveNoAnswer) {
  TestHttpsServer server;
  std::promise<void> release;
  const auto held = [answer = release.get_future().share()](const auto&, auto& response) {
    answer.wait_for(10s);
    response.status = 200;
  };
  server.get("/users/7/client.xml", held);
  server.post("/users/params.php", held);
  HttpsSession session = open(server.address(), kQuick);
  const std::function<HttpsResult()> requests[] = {
      [&] { return session.get("/users/7/client.xml", {}); },
      [&] { return session.post("/users/params.php", numbered_bytes(20), "multipart/form-data"); },
  };
  for (const auto& request : requests) {
    const auto start = Clock::now();
    const HttpsResult result = request();
    EXPECT_LT(Clock::now() - start, kQuick.stall + kMargin);
    EXPECT_EQ(result.stage, HttpsStage::NoAnswer);
    EXPECT_EQ(result.error_code, CURLE_OPERATION_TIMEDOUT);
  }
  release.set_value();
}

// The sending is judged by progress; the answer to a request that has gone
// out whole may be waited for longer than a silence in between.
TEST(HttpsSessionTest, TheWaitForTheAnswerToAnUploadIsItsOwn) {
  TestHttpsServer server;
  server.post("/exchange.php", [](const auto&, auto& response) {
    std::this_thread::sleep_for(2500ms);  // thinking over what came
    response.status = 200;
  });
  const struct {
    std::optional<std::chrono::seconds> answer;
    HttpsStage stage;
  } cases[] = {{std::nullopt, HttpsStage::NoAnswer}, {5s, HttpsStage::Answered}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer ? "answer waited for" : "stall limit");
    HttpsTimeouts timeouts = kQuick;
    timeouts.answer = c.answer;
    HttpsSession session = open(server.address(), timeouts);
    EXPECT_EQ(session.post("/exchange.php", numbered_bytes(1 << 20), "multipart/form-data").stage, c.stage);
  }
}

// After the status line, a body cut short still counts as an answer: what came is delivered.
TEST(HttpsSessionTest, ABodyCutShortIsAnAnswerWithWhatCame) {
  enum class Then { Close, Stall };
  TestHttpsServer server;
  const Bytes body = numbered_bytes(1'000'000);
  constexpr std::size_t kSent = 100'000;
  for (const auto& [then, error] :
       {std::pair{Then::Close, CURLE_PARTIAL_FILE}, {Then::Stall, CURLE_OPERATION_TIMEDOUT}}) {
    std::promise<void> release;
    const auto provider = [&, then = then, released = release.get_future().share()](std::size_t offset, std::size_t,
                                                                                    httplib::DataSink& sink) {
      if (offset == 0) return sink.write(reinterpret_cast<const char*>(body.data()), kSent);
      if (then == Then::Stall) released.wait_for(30s);
      return false;
    };
    server.get("/cut", [&](const auto&, auto& response) {
      response.set_content_provider(body.size(), "application/octet-stream", provider);
    });
    HttpsSession session = open(server.address(), kQuick);
    Received received;
    const auto start = Clock::now();
    const HttpsResult result = get(session, "/cut", received);
    const auto elapsed = Clock::now() - start;
    release.set_value();
    EXPECT_EQ(result.stage, HttpsStage::Answered);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.error_code, static_cast<unsigned long>(error));
    EXPECT_TRUE(received.body == Bytes(body.begin(), body.begin() + kSent)) << received.body.size() << " bytes";
    EXPECT_LT(elapsed, kQuick.stall + kMargin);
  }
}

TEST(HttpsSessionTest, EscapesOnlyWhatAPathMayNotCarry) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"/users/7/client.xml", "/users/7/client.xml"},
      {"/a?S=2&V=KALVIRO 0.7.8&A=&F=", "/a?S=2&V=KALVIRO%200.7.8&A=&F="},
      {"/%41%zz", "/%41%zz"},
      {R"(/"<>\^`{|}~)", "/%22%3C%3E%5C%5E%60%7B%7C%7D~"},
      {std::string_view("/\0\t\x1F\x7F\x80\xE9\xFF", 8), "/%00%09%1F%7F%80%E9%FF"},
      {"", ""},
  };
  for (const auto& [path, escaped] : cases) EXPECT_EQ(escape_request_path(path), escaped);
}

}  // namespace
}  // namespace marvok::platform
