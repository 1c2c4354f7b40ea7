#include "web/account.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/https_test_server.h"

namespace marvok::web {
namespace {

using marvok::testing::TestHttpsServer;

std::string png_of(QSize size, QColor colour) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

std::string identification_reply(const std::string& number, const std::string& name) {
  std::string reply(64, '\0');
  reply.replace(0, 34, std::string(34, 'h'));
  reply.replace(34, 5, number);
  reply.replace(40, name.size(), name);
  return reply;
}

// A web service with one member, 42, counting the requests of each path.
class AccountTest : public ::testing::Test {
 protected:
  void SetUp() override {
    serve_member(server);
    state.identity.MachineId = {'1', '2', '3', '4'};
  }

  void serve_member(TestHttpsServer& on) {
    serve("/Tr8mQe2xVk.php", identification_reply("00042", "Andr\xE9"), "application/octet-stream", on);
    serve("/users/42/client.xml", "<CLIENT><PRENOM>Ana</PRENOM><VILLE>Lyon</VILLE><PHRASE>Salut</PHRASE></CLIENT>",
          "text/xml", on);
    serve("/users/42/params.xml", "<PARAMS><BACKGROUND>ff8000</BACKGROUND></PARAMS>", "text/xml", on);
    serve("/users/images.php", png_of({40, 50}, Qt::red), "image/png", on);
  }

  void serve(const std::string& path, const std::string& body, const char* type) { serve(path, body, type, server); }
  void serve(const std::string& path, const std::string& body, const char* type, TestHttpsServer& on) {
    std::atomic<int>& count = hits[path];  // made here: the server's thread only counts
    on.get(path, [&count, body, type](const httplib::Request&, httplib::Response& response) {
      ++count;
      response.set_content(body, type);
    });
  }

  Account account() { return account_on(web); }
  Account account_on(WebClient& client) {
    return Account(client, state,
                   SpeakerDisplay{[this](const Picture& picture) { pictures.push_back(picture); },
                                  [this](const SpeakerCard& card) { cards.push_back(card); }});
  }

  TestHttpsServer server;
  SessionState state;
  WebClient web{server.address(), state.lights.HttpsLed};
  std::map<std::string, std::atomic<int>> hits;
  std::vector<Picture> pictures;
  std::vector<SpeakerCard> cards;
};

TEST_F(AccountTest, StartUpIdentifiesAndAppliesCardAndParameters) {
  Account member = account();
  EXPECT_EQ(member.run_startup_fetches(), OwnParamsOutcome::Applied);
  EXPECT_EQ(state.identity.MemberId.load(), 42);
  EXPECT_EQ(field_text(member.member_card().first_name), "Ana");
  EXPECT_EQ(state.display.BackgroundColor.load(), 0xFF8000u);
  EXPECT_EQ(state.display.StatusText.get(), u"Bonjour André.  Sois le bienvenu sur notre réseau !");
}

TEST_F(AccountTest, MissingParametersAndAnUnreachableServiceAreToldApart) {
  server.get("/users/42/params.xml",
             [](const httplib::Request&, httplib::Response& response) { response.status = 404; });
  Account member = account();
  EXPECT_EQ(member.run_startup_fetches(), OwnParamsOutcome::NotFound);
  EXPECT_EQ(state.display.BackgroundColor.load(), 0u);

  // Nobody at the address: the member stays the placeholder, nothing is shown.
  marvok::testing::RefusingPort refusing;
  SessionState alone;
  platform::WebServiceAddress address = server.address();
  address.port = refusing.port();
  WebClient unreachable(address, alone.lights.HttpsLed);
  Account nobody(unreachable, alone, {});
  EXPECT_EQ(nobody.run_startup_fetches(), OwnParamsOutcome::NotIdentified);
  EXPECT_EQ(alone.identity.MemberId.load(), kPlaceholderMemberId);
  EXPECT_EQ(field_text(nobody.member_card().first_name), "");
}

// A start-up that found no service tries again after growing pauses, and
// once the service answers the member is identified, with card and colour. A
// service failing inside (5xx) is tried again too; a refusal ends the retries.
TEST_F(AccountTest, AnIdentificationThatFoundNoServiceIsRetriedUntilItIsAnswered) {
  using namespace std::chrono_literals;
  enum class Back { Identifies, FailsTwiceFirst, Refuses };
  for (const Back back_as : {Back::Identifies, Back::FailsTwiceFirst, Back::Refuses}) {
    SCOPED_TRACE(static_cast<int>(back_as));
    SessionState late;
    auto absent = std::make_unique<marvok::testing::RefusingPort>();
    platform::WebServiceAddress address = server.address();
    address.port = absent->port();
    WebClient client(address, late.lights.HttpsLed);
    Account member(client, late, {});
    ASSERT_EQ(member.run_startup_fetches(), OwnParamsOutcome::NotIdentified);

    std::optional<OwnParamsOutcome> outcome;
    RetryPauses pauses(20ms, 100ms, 7);
    std::jthread retry([&](std::stop_token stop) { outcome = member.retry_startup_fetches(stop, pauses); });
    std::this_thread::sleep_for(300ms);  // a few attempts find nobody
    absent.reset();
    TestHttpsServer back(marvok::testing::trusted_certificates(), address.port);
    serve_member(back);
    auto failures = std::make_shared<std::atomic<int>>(2);
    if (back_as != Back::Identifies) {
      back.get("/Tr8mQe2xVk.php", [back_as, failures](const httplib::Request&, httplib::Response& response) {
        if (back_as == Back::Refuses) {
          response.status = 403;
        } else if (failures->fetch_sub(1) > 0) {
          response.status = 503;
        } else {
          response.set_content(identification_reply("00042", "Andr\xE9"), "application/octet-stream");
        }
      });
    }
    retry.join();
    if (back_as == Back::Refuses) {
      EXPECT_EQ(outcome, OwnParamsOutcome::NotFound);
      EXPECT_EQ(late.identity.MemberId.load(), kPlaceholderMemberId);
    } else {
      EXPECT_EQ(outcome, OwnParamsOutcome::Applied);
      EXPECT_EQ(late.identity.MemberId.load(), 42);
      EXPECT_EQ(field_text(member.member_card().first_name), "Ana");
      EXPECT_EQ(late.display.BackgroundColor.load(), 0xFF8000u);
    }
  }
}

TEST_F(AccountTest, AStoppedRetryEndsWithoutAnOutcome) {
  using namespace std::chrono_literals;
  marvok::testing::RefusingPort absent;
  platform::WebServiceAddress address = server.address();
  address.port = absent.port();
  WebClient client(address, state.lights.HttpsLed);
  Account member(client, state, {});
  RetryPauses pauses(1h, 1h, 7);
  std::stop_source stop;
  std::optional<std::optional<OwnParamsOutcome>> outcome;
  std::thread retry([&] { outcome = member.retry_startup_fetches(stop.get_token(), pauses); });
  std::this_thread::sleep_for(50ms);
  stop.request_stop();
  retry.join();
  ASSERT_TRUE(outcome);
  EXPECT_EQ(*outcome, std::nullopt);
}

TEST(RetryPausesTest, DoubleUpToTheLongestWithinAFifthEitherSide) {
  using std::chrono::milliseconds;
  const std::int64_t bases[] = {5000, 10000, 20000, 40000, 80000, 160000, 300000, 300000};
  RetryPauses first(kFirstIdentificationRetry, kLongestIdentificationRetry, 1);
  RetryPauses second(kFirstIdentificationRetry, kLongestIdentificationRetry, 2);
  bool differ = false;
  for (const std::int64_t base : bases) {
    const milliseconds pause = first.next();
    EXPECT_GE(pause.count(), base * 8 / 10) << base;
    EXPECT_LE(pause.count(), base * 12 / 10) << base;
    differ |= pause != second.next();
  }
  EXPECT_TRUE(differ);  // two clients do not come back in step
}

TEST_F(AccountTest, ThePollAsksOncePerSpeakerAndAgainForThePictureAfterARepaint) {
  Account member = account();
  // Before any speech, speaker and last ids are all 0: nothing is asked.
  member.poll_speaker();
  EXPECT_EQ(hits["/users/images.php"], 0);

  state.channel.SpeakerId = 42;
  member.poll_speaker();
  member.poll_speaker();
  EXPECT_EQ(hits["/users/images.php"], 1);
  EXPECT_EQ(hits["/users/42/client.xml"], 1);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].width, 40);
  EXPECT_EQ(pictures[0].height, 50);
  EXPECT_EQ(pictures[0].pixel(0, 0), 0xFFFF0000u);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].city, "Lyon");

  state.display.ForceRefetch = true;
  member.poll_speaker();
  EXPECT_EQ(hits["/users/images.php"], 2);
  EXPECT_EQ(hits["/users/42/client.xml"], 1);
  EXPECT_FALSE(state.display.ForceRefetch.load());
}

TEST_F(AccountTest, APictureThatIsNotAPngDrawsNothing) {
  serve("/users/images.php", "\xFF\xD8\xFF\xE0 not a png at all", "image/jpeg");
  Account member = account();
  state.channel.SpeakerId = 42;
  member.poll_speaker();
  EXPECT_TRUE(pictures.empty());
  EXPECT_EQ(cards.size(), 1u);
}

TEST_F(AccountTest, PostsTheChosenColour) {
  server.post("/users/params.php", [](const httplib::Request&, httplib::Response&) {});
  state.identity.set_member_id(512);
  account().post_parameters(0x1E140A);
  const auto request = server.last_request();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->body, std::string("\x01\0\0\0\x0A\0\0\0\x14\0\0\0\x1E\0\0\0\0\x02\0\0", 20));
}

// The service missing, silent, holding its answers, failing or an impostor:
// start-up and the speaker poll each wait out at most one time-out, show
// nothing, and once the real service is back on the same port the next
// speaker's picture and card are shown.
TEST_F(AccountTest, AFaultyServiceHoldsNoCallBeyondOneTimeOutAndIsUsedAgainOnceBack) {
  using namespace std::chrono_literals;
  using marvok::testing::RefusingPort;
  using marvok::testing::SilentServer;
  constexpr platform::HttpsTimeouts kQuick{500ms, 2s, std::nullopt};
  constexpr auto kOneTimeOut = 3s;  // two time-outs in a row would take 4 s
  std::atomic<bool> give_up = false;
  const auto answering = [](TestHttpsServer::Handler handler, const marvok::testing::TestCertificates& certificates =
                                                                  marvok::testing::trusted_certificates()) {
    auto service = std::make_shared<TestHttpsServer>(certificates);
    for (const char* path : {"/Tr8mQe2xVk.php", "/users/42/client.xml", "/users/43/client.xml", "/users/42/params.xml",
                             "/users/images.php"})
      service->get(path, handler);
    return service;
  };
  const auto holding = [&](const httplib::Request&, httplib::Response& response) {
    for (int wait = 0; wait < 1000 && !give_up; ++wait) std::this_thread::sleep_for(10ms);
    response.status = 200;
  };
  const auto failing = [](const httplib::Request&, httplib::Response& response) { response.status = 500; };
  const auto port_of = [](const auto& service) { return std::pair{std::shared_ptr<void>(service), service->port()}; };

  const struct {
    const char* name;
    std::function<std::pair<std::shared_ptr<void>, std::uint16_t>()> start;
    OwnParamsOutcome outcome;
  } cases[] = {
      {"absent", [&] { return port_of(std::make_shared<RefusingPort>()); }, OwnParamsOutcome::NotIdentified},
      {"silent", [&] { return port_of(std::make_shared<SilentServer>()); }, OwnParamsOutcome::NotIdentified},
      {"never answers", [&] { return port_of(answering(holding)); }, OwnParamsOutcome::NotIdentified},
      {"answers 500", [&] { return port_of(answering(failing)); }, OwnParamsOutcome::NotIdentified},
      {"untrusted certificate", [&] { return port_of(answering(failing, marvok::testing::untrusted_certificates())); },
       OwnParamsOutcome::NotIdentified},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    pictures.clear();
    cards.clear();
    state.identity.set_member_id(kPlaceholderMemberId);
    state.channel.SpeakerId = 0;
    give_up = false;
    auto [faulty, port] = c.start();
    platform::WebServiceAddress address = server.address();
    address.port = port;
    WebClient client(address, state.lights.HttpsLed, kQuick);
    Account member = account_on(client);

    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(member.run_startup_fetches(), c.outcome);
    EXPECT_LT(std::chrono::steady_clock::now() - started, kOneTimeOut);
    EXPECT_EQ(state.identity.MemberId.load(), kPlaceholderMemberId);
    state.channel.SpeakerId = 43;
    started = std::chrono::steady_clock::now();
    member.poll_speaker();
    EXPECT_LT(std::chrono::steady_clock::now() - started, kOneTimeOut);
    EXPECT_TRUE(pictures.empty());
    EXPECT_TRUE(cards.empty());

    give_up = true;
    faulty.reset();
    TestHttpsServer back(marvok::testing::trusted_certificates(), port);
    serve_member(back);
    state.channel.SpeakerId = 42;
    member.poll_speaker();
    EXPECT_EQ(pictures.size(), 1u);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].city, "Lyon");
  }
}

}  // namespace
}  // namespace marvok::web
