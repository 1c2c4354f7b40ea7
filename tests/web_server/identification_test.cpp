#include <gtest/gtest.h>

#include "database_places.h"
#include "identification_reply.h"
#include "running_web_service.h"

namespace marvok::web_server::testing {
namespace {

std::string identify_path(const std::string& machine) {
  return "/Tr8mQe2xVk.php?S=2&I=" + machine + "&V=KALVIRO%200.7.8&A=&F=";
}

std::string member_number_of(const httplib::Result& reply) {
  return reply && reply->body.size() == kIdentificationReplyBytes ? reply->body.substr(kMemberNumberOffset, 5) : "";
}

TEST(Identification, EnrolsEachNewMachineWithTheLowestFreeNumberAndKeepsIt) {
  RunningWebService service;
  EXPECT_EQ(member_number_of(service.get(identify_path("3000111222"))), "00001");
  EXPECT_EQ(member_number_of(service.get(identify_path("42"))), "00002");
  EXPECT_EQ(member_number_of(service.get(identify_path("3000111222"))), "00001");
  service.store().create(3);  // made by the operator, without a machine
  EXPECT_EQ(member_number_of(service.get(identify_path("0042"))), "00004");

  const std::optional<Member> enrolled = service.store().find(4);
  ASSERT_TRUE(enrolled);
  EXPECT_EQ(enrolled->machine, "0042");
  EXPECT_EQ(enrolled->name, "Membre 4");
  EXPECT_EQ(enrolled->field(CardField::Folder), "membre4");
  EXPECT_EQ(enrolled->field(CardField::Phrase), "Bienvenue sur le réseau Marvok");
}

TEST(Identification, ReplyCarriesTheHeaderFiveDigitsAndTheNameInTheMembersCodePage) {
  RunningWebService service;
  for (int number = 1; number <= 42; ++number) service.store().create(number);
  Member member = *service.store().find(42);
  member.machine = "777";
  member.name = "André";
  service.store().save(member);

  const httplib::Result reply = service.get(identify_path("777"));
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->status, 200);
  EXPECT_EQ(reply->get_header_value("Content-Type"), "application/octet-stream");
  ASSERT_EQ(reply->body.size(), 64u);
  EXPECT_EQ(reply->body.substr(0, 34), "MARVOK identification v1          ");
  EXPECT_EQ(reply->body.substr(34, 6), "00042 ");
  EXPECT_EQ(reply->body.substr(40), std::string("Andr\xE9") + std::string(19, '\0'));
}

TEST(Identification, NameIsCutAtTwentyFourBytesAndUnknownCharactersBecomeQuestionMarks) {
  const IdentificationReply reply = identification_reply(65535, "Œuvre 漢 " + std::string(30, 'x'));
  const std::string bytes(reply.begin(), reply.end());
  EXPECT_EQ(bytes.substr(34, 5), "65535");
  EXPECT_EQ(bytes.substr(40),
            "\x8C"
            "uvre ? " +
                std::string(16, 'x'));
}

TEST(Identification, RefusesMachineIdentifiersTheClientCannotSend) {
  RunningWebService service;
  for (const std::string& path :
       {std::string("/Tr8mQe2xVk.php?S=2&V=KALVIRO%200.7.8"), identify_path(""), identify_path("12a4"),
        identify_path("-5"), identify_path("%201"), identify_path(std::string(20, '9'))}) {
    const httplib::Result reply = service.get(path);
    ASSERT_TRUE(reply) << path;
    EXPECT_EQ(reply->status, 400) << path;
  }
  EXPECT_EQ(member_number_of(service.get(identify_path(std::string(19, '9')))), "00001");
  EXPECT_TRUE(service.store().members().size() == 1);
}

TEST(Identification, TakesAGapLeftInTheNumbersAndAnswers503WhenAllAreTaken) {
  RunningWebService service;
  {
    open_database(service.database())
        ->execute(
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 65535) "
            "INSERT INTO members (number, name) SELECT x, 'M' FROM n WHERE x <> 40000");
  }
  EXPECT_EQ(member_number_of(service.get(identify_path("1"))), "40000");
  const httplib::Result full = service.get(identify_path("2"));
  ASSERT_TRUE(full);
  EXPECT_EQ(full->status, 503);
  EXPECT_FALSE(service.store().find_by_machine("2"));
}

TEST(Identification, EachAddressEnrolsOnlySoManyNewMachinesAnHour) {
  ServeOptions options;
  options.enrolments_per_hour = 2;
  options.limit_loopback = true;
  RunningWebService service(options);
  EXPECT_EQ(member_number_of(service.get(identify_path("101"))), "00001");
  EXPECT_EQ(member_number_of(service.get(identify_path("102"))), "00002");
  const httplib::Result refused = service.get(identify_path("103"));
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 429);
  EXPECT_FALSE(service.store().find_by_machine("103"));
  // Machines already enrolled sign in as always.
  EXPECT_EQ(member_number_of(service.get(identify_path("101"))), "00001");
  EXPECT_NE(service.log_text().find("no new machine enrolled for 127.0.0.1"), std::string::npos) << service.log_text();
}

TEST(Identification, MachinesEnrolledBeforeSignInsWereDatedCountAsSeenNow) {
  if (suite_runs_on_postgresql()) GTEST_SKIP() << "only SQLite files were made before versions were kept";
  TemporaryFolder folder;
  {
    open_database(folder.path("members.sqlite"))
        ->execute(
            "CREATE TABLE members (number INTEGER PRIMARY KEY, machine TEXT UNIQUE, name TEXT NOT NULL, "
            "first_name TEXT NOT NULL DEFAULT '', nickname TEXT NOT NULL DEFAULT '', city TEXT NOT NULL DEFAULT '', "
            "phrase TEXT NOT NULL DEFAULT '', day TEXT NOT NULL DEFAULT '', email TEXT NOT NULL DEFAULT '', "
            "folder TEXT NOT NULL DEFAULT '', background INTEGER, picture BLOB, "
            "picture_version INTEGER NOT NULL DEFAULT 0, picture_small BLOB, picture_large BLOB);"
            "INSERT INTO members (number, machine, name) VALUES (7, '777', 'Sept');");
  }
  MemberStore store(folder.path("members.sqlite"));
  constexpr std::int64_t kDay = 24 * 60 * 60;
  EXPECT_EQ(store.forget_unseen(MemberStore::unix_now() - 60), 0);
  EXPECT_EQ(store.sign_in("777")->number, 7);
  EXPECT_EQ(store.forget_unseen(MemberStore::unix_now() + 2 * kDay), 1) << "the old member was left undated";
}

TEST(Identification, ForgettingUnseenMachinesFreesTheirNumbers) {
  TemporaryFolder folder;
  MemberStore store(fresh_database(folder));
  constexpr std::int64_t kDay = 24 * 60 * 60;
  const std::int64_t now = MemberStore::unix_now();
  store.enrol("501", now - 40 * kDay);
  store.enrol("502", now - 40 * kDay);
  store.enrol("503", now - 40 * kDay);
  store.create(4);                       // the operator's, without a machine
  store.sign_in("502", now - 2 * kDay);  // came back since
  Member edited = *store.find_by_machine("503");
  edited.name = "Tied by hand";
  store.save(edited);  // an operator's edit counts as seen
  EXPECT_EQ(store.forget_unseen(now - 30 * kDay), 1);
  EXPECT_FALSE(store.find_by_machine("501"));
  EXPECT_EQ(store.find_by_machine("502")->number, 2);
  EXPECT_EQ(store.find_by_machine("503")->number, 3);
  EXPECT_TRUE(store.find(4));
  EXPECT_EQ(store.identify("504")->number, 1);
  EXPECT_EQ(store.identify("505")->number, 5);
}

}  // namespace
}  // namespace marvok::web_server::testing
