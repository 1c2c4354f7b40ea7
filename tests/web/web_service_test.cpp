// The web client against real services on loopback, started by the test's
// wrapper: marvok-web under the test's authority (given as a file, or put in
// the system's store), marvok-web under one nobody trusts, marvok-web whose
// certificate names another host, and ports that refuse, stay silent, or take
// a request and never answer it. Ports come in the environment.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/picture_files.h"
#include "web/parameters_record.h"
#include "web/picture_decoding.h"
#include "web/request_paths.h"
#include "web/shared_picture_exchange.h"
#include "web/web_client.h"

namespace marvok::web {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr platform::HttpsTimeouts kQuick{1500ms, 1s, std::nullopt};
// Room for a loaded machine and a slow start of the emulated system.
constexpr auto kMargin = 3s;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) ADD_FAILURE() << name << " is not set: run through the wrapper";
  return value == nullptr ? "" : value;
}

std::uint16_t port(const char* name) { return static_cast<std::uint16_t>(std::stoi("0" + environment(name))); }

// The wrapper's authority file where a program names its own; empty where the
// system's store has been given it.
// By name: the services' certificates name both localhost and 127.0.0.1, but
// Wine matches a host only against the names.
platform::WebServiceAddress service(const char* port_name, std::string host = "localhost") {
  return {std::move(host), port(port_name), environment("MARVOK_TEST_WEB_CA")};
}

platform::WebServiceAddress with_authorities(platform::WebServiceAddress address, std::string ca_file) {
  address.ca_file = std::move(ca_file);
  return address;
}

std::string file_text(const std::string& path) {
  std::ifstream file(path);
  EXPECT_TRUE(file) << path;
  return {std::istreambuf_iterator<char>(file), {}};
}

std::string body_text(const WebClient& web, std::int32_t count) {
  const auto body = web.response().body().first(static_cast<std::size_t>(std::max(count, 0)));
  return {body.begin(), body.end()};
}

TEST(WebServiceTest, FetchesDocumentsAndTellsAMissingOneApart) {
  {
    LedCell light;
    WebClient web(service("MARVOK_TEST_WEB_PORT"), light);
    const auto lock = web.lock_fetch();
    const std::int32_t card = web.get(card_path(7));
    EXPECT_GT(card, 0);
    EXPECT_NE(body_text(web, card).find("<VILLE>Lyon</VILLE>"), std::string::npos) << body_text(web, card);
    EXPECT_EQ(web.get(card_path(99)), 0);
    EXPECT_EQ(web.last_status(), 404);
    // The version's space goes out escaped, or the service would not know the request.
    EXPECT_GT(web.get(identification_path("4096")), 0);
    EXPECT_EQ(web.last_status(), 200);
  }
}

TEST(WebServiceTest, AccessoryIconsComeOutOnBlack) {
  LedCell light;
  WebClient web(service("MARVOK_TEST_WEB_PORT"), light);
  const std::pair<FileKind, std::uint32_t> icons[] = {{1, 0xFF141414}, {2, 0xFF1EAA3C}, {3, 0xFFD21E1E}};
  for (const auto& [kind, tread] : icons) {
    const LockedResponse response = web.download_web_file(WebFolder::Usb, 0, kind);
    const Picture icon = png_to_bitmap(response.result, *response.buffer);
    ASSERT_EQ(icon.width, 32) << kind;
    ASSERT_EQ(icon.height, 32) << kind;
    EXPECT_EQ(icon.pixel(0, 0), 0xFF000000u) << kind;
    EXPECT_EQ(icon.pixel(14, 11), tread) << kind;
  }
}

TEST(WebServiceTest, ASharedPictureGoesUpAndComesBackDecoded) {
  LedCell light;
  WebClient web(service("MARVOK_TEST_WEB_PORT"), light);
  SharedPictureExchange exchange(web);
  Picture sent{4, 3, std::vector<std::uint32_t>(12, 0xFF3060C0)};
  sent.pixels[1] = 0x00FFFFFF;  // see-through: black once laid on it
  Picture expected = sent;
  const std::string folder = (std::filesystem::temp_directory_path() / "marvok-shared-picture").string();
  std::filesystem::create_directories(folder);
  const struct {
    const char* name;
    testing::FileBytes bytes;
    std::uint32_t second_pixel;
  } files[] = {{"partage.png", testing::png_file(sent), 0xFF000000},
               {"partage.bmp", testing::bmp_file(sent), 0xFFFFFFFF}};
  int group = 2;
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const std::filesystem::path path = std::filesystem::path(folder) / file.name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
    const auto choose = [&]() -> std::optional<std::filesystem::path> { return path; };
    EXPECT_EQ(exchange.upload_shared_image(group, choose, [](const std::string& text) { ADD_FAILURE() << text; }), 200);
    const std::optional<Picture> received = exchange.download_shared_picture(group);
    ASSERT_TRUE(received);
    expected.pixels[1] = file.second_pixel;
    EXPECT_TRUE(*received == expected);
    ++group;
  }
  std::filesystem::remove_all(folder);
}

TEST(WebServiceTest, PostedParametersAreReadBack) {
  LedCell light;
  WebClient web(service("MARVOK_TEST_WEB_PORT"), light);
  std::optional<platform::HttpsSession> session = web.open_session();
  ASSERT_TRUE(session);
  const ParametersRecord record = build_parameters_record(0x00336699, 7);
  const auto answer = WebClient::post_record(*session, "/users/params.php", record);
  ASSERT_TRUE(answer);
  EXPECT_EQ(WebClient::query_status_code(*answer), 200);
  const auto lock = web.lock_fetch();
  const std::int32_t count = web.get(params_path(7));
  EXPECT_EQ(read_background_colour(body_text(web, count)), 0x00336699u) << body_text(web, count);
}

// Nothing reaches a service that does not verify, or cannot be reached, and
// none of it holds the caller beyond its limits.
TEST(WebServiceTest, AServiceThatCannotBeTrustedOrReachedHasNotHadTheRequest) {
  const std::filesystem::path malformed = std::filesystem::temp_directory_path() / "marvok-malformed-authority.pem";
  std::ofstream(malformed) << "-----BEGIN CERTIFICATE-----\nbm90IGEgY2VydGlmaWNhdGU=\n-----END CERTIFICATE-----\n";
  const struct {
    const char* name;
    platform::WebServiceAddress address;
    platform::HttpsStage stage;
    std::chrono::milliseconds limit;
  } cases[] = {
      {"untrusted", service("MARVOK_TEST_UNTRUSTED_WEB_PORT"), platform::HttpsStage::NotSent, kQuick.connect},
      {"another host's certificate",
       with_authorities(service("MARVOK_TEST_MISNAMED_WEB_PORT"), environment("MARVOK_TEST_MISNAMED_WEB_CA")),
       platform::HttpsStage::NotSent, kQuick.connect},
      // An authority file that cannot be used trusts nobody, not even the system's store.
      {"missing authority file", with_authorities(service("MARVOK_TEST_WEB_PORT"), "no-such-authority.pem"),
       platform::HttpsStage::NotSent, kQuick.connect},
      {"malformed authority file", with_authorities(service("MARVOK_TEST_WEB_PORT"), malformed.string()),
       platform::HttpsStage::NotSent, kQuick.connect},
      {"refusing", service("MARVOK_TEST_REFUSING_PORT"), platform::HttpsStage::NotSent, kQuick.connect},
      {"silent", service("MARVOK_TEST_SILENT_PORT"), platform::HttpsStage::NotSent, kQuick.connect},
      {"holding", service("MARVOK_TEST_HOLDING_PORT"), platform::HttpsStage::NoAnswer, kQuick.stall},
      {"no host", service("MARVOK_TEST_WEB_PORT", ""), platform::HttpsStage::NotOpened, 0ms},
      {"no such host", service("MARVOK_TEST_WEB_PORT", "no such host"), platform::HttpsStage::NotOpened, 0ms},
  };
  const testing::FileBytes record(20, 1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<platform::HttpsSession> session = platform::HttpsSession::open(c.address, kQuick);
    ASSERT_TRUE(session);
    bool delivered = false;
    auto start = Clock::now();
    const platform::HttpsResult fetched =
        session->get("/users/7/client.xml", [&](int, auto) { return delivered = true; });
    EXPECT_LT(Clock::now() - start, c.limit + kMargin);
    EXPECT_EQ(fetched.stage, c.stage);
    EXPECT_NE(fetched.error_code, 0u);
    EXPECT_EQ(fetched.status, std::nullopt);
    EXPECT_FALSE(delivered);
    start = Clock::now();
    const platform::HttpsResult posted = session->post("/users/params.php", record, "multipart/form-data");
    EXPECT_LT(Clock::now() - start, c.limit + kMargin);
    EXPECT_EQ(posted.stage, c.stage);
    EXPECT_NE(posted.error_code, 0u);
  }
  // The wait for the answer to a request that has gone out whole is its own.
  platform::HttpsTimeouts patient = kQuick;
  patient.answer = 3s;
  std::optional<platform::HttpsSession> session =
      platform::HttpsSession::open(service("MARVOK_TEST_HOLDING_PORT"), patient);
  ASSERT_TRUE(session);
  const auto start = Clock::now();
  EXPECT_EQ(session->post("/users/params.php", record, "multipart/form-data").stage, platform::HttpsStage::NoAnswer);
  EXPECT_GE(Clock::now() - start, *patient.answer);
  EXPECT_LT(Clock::now() - start, *patient.answer + kMargin);
  // The services whose certificates did not verify were never asked anything.
  EXPECT_EQ(file_text(environment("MARVOK_TEST_UNTRUSTED_WEB_LOG")), "");
  EXPECT_EQ(file_text(environment("MARVOK_TEST_MISNAMED_WEB_LOG")), "");
  std::filesystem::remove(malformed);
}

// After the status line, a body cut short still counts as an answer: what came is delivered.
TEST(WebServiceTest, ABodyThatStallsIsAnAnswerWithWhatCame) {
  std::optional<platform::HttpsSession> session =
      platform::HttpsSession::open(service("MARVOK_TEST_HOLDING_PORT"), kQuick);
  ASSERT_TRUE(session);
  std::size_t received = 0;
  const auto start = Clock::now();
  const platform::HttpsResult result = session->get("/cut", [&](int status, std::span<const std::uint8_t> chunk) {
    EXPECT_EQ(status, 200);
    received += chunk.size();
    return true;
  });
  EXPECT_LT(Clock::now() - start, kQuick.stall + kMargin);
  EXPECT_EQ(result.stage, platform::HttpsStage::Answered);
  EXPECT_EQ(result.status, 200);
  EXPECT_NE(result.error_code, 0u);
  EXPECT_EQ(received, 100'000u);
}

TEST(WebServiceTest, APathOrTypeThatIsNoRequestIsNotOpened) {
  std::optional<platform::HttpsSession> session = platform::HttpsSession::open(service("MARVOK_TEST_WEB_PORT"));
  ASSERT_TRUE(session);
  EXPECT_EQ(session->get("users/7/client.xml", {}).stage, platform::HttpsStage::NotOpened);
  EXPECT_EQ(session->post("/users/params.php", {}, "text/plain\r\nX-Added: 1").stage, platform::HttpsStage::NotOpened);
  EXPECT_EQ(session->get("/users/7/client.xml", {}).status, 200);
}

}  // namespace
}  // namespace marvok::web
