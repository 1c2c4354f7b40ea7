#include "web/web_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "support/https_test_server.h"

namespace marvok::web {
namespace {

using marvok::testing::TestHttpsServer;

TEST(WebClientTest, TheHttpsLightFollowsEachRoutinesCount) {
  LedCell light{LedColor::Yellow};
  WebClient web(platform::WebServiceAddress{"localhost", 1, ""}, light);
  std::string seen;
  for (int call = 0; call < 10; ++call) {
    web.advance_request_counter(RequestRoutine::FetchRecord);
    seen += light.load() == LedColor::Green ? 'g' : 'b';
  }
  EXPECT_EQ(seen, "ggggbbbbgg");
  // Each routine counts on its own.
  web.advance_request_counter(RequestRoutine::UploadImage);
  EXPECT_EQ(light.load(), LedColor::Green);
}

TEST(WebClientTest, ReadsBodiesWithinTheBufferAndTerminatesThem) {
  TestHttpsServer server;
  std::atomic<std::size_t> body_size = 0;  // read on the server's thread
  server.get("/body", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(body_size.load(), 'x'), "application/octet-stream");
  });
  for (const auto& [path, status] : {std::pair{"/missing", 404}, std::pair{"/broken", 500}}) {
    server.get(path, [code = status](const httplib::Request&, httplib::Response& response) {
      response.status = code;
      response.set_content("<PRENOM>Intrus</PRENOM>", "text/xml");
    });
  }
  LedCell light;
  WebClient web(server.address(), light);
  const auto lock = web.lock_fetch();

  const struct {
    std::size_t size;
    std::int32_t result;
    bool terminated;
  } cases[] = {
      {9'999'998, 9'999'998, true},
      {9'999'999, 9'999'999, false},
      {10'000'000, 10'000'000, false},
  };
  for (const auto& c : cases) {
    body_size = c.size;
    EXPECT_EQ(web.get("/body"), c.result) << c.size;
    EXPECT_EQ(web.response().body().size(), c.size);
    if (c.terminated) {
      EXPECT_EQ(web.response().whole()[c.size], 0);
    }
  }
  // A longer body is cut before the chunk that would pass the buffer's end.
  body_size = 10'000'001;
  const std::int32_t cut = web.get("/body");
  EXPECT_GT(cut, 9'000'000);
  EXPECT_LT(cut, 10'000'001);

  EXPECT_EQ(web.get("/missing"), 0);
  EXPECT_EQ(web.get("/broken"), 0);
  EXPECT_EQ(web.response().text().find("Intrus"), std::string_view::npos);
}

TEST(WebClientTest, SendsTheIdentificationPathEscaped) {
  TestHttpsServer server;
  server.get("/Tr8mQe2xVk.php", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("reply", "application/octet-stream");
  });
  LedCell light;
  WebClient web(server.address(), light);
  const auto lock = web.lock_fetch();
  EXPECT_EQ(web.get(identification_path("1234")), 5);
  const auto request = server.last_request();
  ASSERT_TRUE(request);
  EXPECT_NE(request->target.find("V=KALVIRO%200.7.8"), std::string::npos) << request->target;
  EXPECT_EQ(request->get_param_value("V"), "KALVIRO 0.7.8");
  EXPECT_EQ(request->get_header_value("User-Agent"), "Marvok/1.0");
}

TEST(WebClientTest, AServiceThatCannotBeTrustedOrReachedGivesAFailure) {
  TestHttpsServer impostor(marvok::testing::untrusted_certificates());
  impostor.get("/users/1/client.xml", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("<PRENOM>Intrus</PRENOM>", "text/xml");
  });
  marvok::testing::SilentServer silent;
  marvok::testing::RefusingPort refusing;
  const struct {
    const char* name;
    std::uint16_t port;
  } cases[] = {{"untrusted certificate", impostor.port()}, {"silent", silent.port()}, {"refused", refusing.port()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LedCell light;
    platform::WebServiceAddress address = impostor.address();
    address.port = c.port;
    WebClient web(address, light,
                  platform::HttpsTimeouts{std::chrono::milliseconds(500), std::chrono::seconds(1), std::nullopt});
    const auto lock = web.lock_fetch();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(web.get("/users/1/client.xml"), kRequestFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(web.response().text().find("Intrus"), std::string_view::npos);
  }
}

TEST(WebClientTest, PostsARecordAndReadsItsStatus) {
  TestHttpsServer server;
  server.post("/users/params.php", [](const httplib::Request&, httplib::Response& response) { response.status = 201; });
  LedCell light;
  WebClient web(server.address(), light);
  auto session = web.open_session();
  ASSERT_TRUE(session);
  const std::vector<std::uint8_t> record = {1, 0, 0xFF, 7};
  const auto answer = WebClient::post_record(*session, kParamsPostPath, record);
  ASSERT_TRUE(answer);
  EXPECT_EQ(WebClient::query_status_code(*answer), 201);
  const auto request = server.last_request();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->body, std::string("\x01\x00\xFF\x07", 4));
  EXPECT_EQ(request->get_header_value("Content-Type"), "multipart/form-data");
}

}  // namespace
}  // namespace marvok::web
