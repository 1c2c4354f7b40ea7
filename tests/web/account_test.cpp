#include "web/account.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <atomic>
#include <map>
#include <string>
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
    serve("/Tr8mQe2xVk.php", identification_reply("00042", "Andr\xE9"), "application/octet-stream");
    serve("/users/42/client.xml", "<CLIENT><PRENOM>Ana</PRENOM><VILLE>Lyon</VILLE><PHRASE>Salut</PHRASE></CLIENT>",
          "text/xml");
    serve("/users/42/params.xml", "<PARAMS><BACKGROUND>ff8000</BACKGROUND></PARAMS>", "text/xml");
    serve("/users/images.php", png_of({40, 50}, Qt::red), "image/png");
    state.identity.MachineId = {'1', '2', '3', '4'};
  }

  void serve(const std::string& path, const std::string& body, const char* type) {
    std::atomic<int>& count = hits[path];  // made here: the server's thread only counts
    server.get(path, [&count, body, type](const httplib::Request&, httplib::Response& response) {
      ++count;
      response.set_content(body, type);
    });
  }

  Account account() {
    return Account(web, state,
                   SpeakerDisplay{[this](const QImage& picture) { pictures.push_back(picture); },
                                  [this](const SpeakerCard& card) { cards.push_back(card); }});
  }

  TestHttpsServer server;
  SessionState state;
  WebClient web{server.address(), state.lights.HttpsLed};
  std::map<std::string, std::atomic<int>> hits;
  std::vector<QImage> pictures;
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
  EXPECT_EQ(nobody.run_startup_fetches(), OwnParamsOutcome::Unreachable);
  EXPECT_EQ(alone.identity.MemberId.load(), kPlaceholderMemberId);
  EXPECT_EQ(field_text(nobody.member_card().first_name), "");
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
  EXPECT_EQ(pictures[0].size(), QSize(40, 50));
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

}  // namespace
}  // namespace marvok::web
