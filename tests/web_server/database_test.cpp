#include <gtest/gtest.h>

#include <chrono>

#include "database_migration.h"
#include "member_store.h"
#include "postgres_database.h"
#include "running_web_service.h"
#include "schema.h"
#include "support/postgres_server.h"

namespace marvok::web_server::testing {
namespace {

std::int64_t count_of(const std::string& where, const std::string& query) {
  const auto database = open_database(where);
  auto row = database->prepare(query);
  return row->step() == Statement::Step::Row ? row->integer(0) : -1;
}

TEST(Schema, ADatabaseNewerThanTheProgramIsRefusedAndLeftAlone) {
  TemporaryFolder folder;
  const std::string where = fresh_database(folder);
  open_database(where)->execute(
      "CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version VALUES (99)");
  try {
    MemberStore store(where);
    ADD_FAILURE() << "a newer database was taken";
  } catch (const DatabaseError& refusal) {
    EXPECT_NE(std::string(refusal.what()).find("newer than this marvok-web"), std::string::npos) << refusal.what();
  }
  EXPECT_EQ(count_of(where, "SELECT version FROM schema_version"), 99);
  EXPECT_THROW(count_of(where, "SELECT count(*) FROM members"), DatabaseError) << "the newer database was written";
}

// Members with and without machine, picture and colour, and two channels' pictures.
void fill(MemberStore& store, int first, int last) {
  for (int number = first; number <= last; ++number) {
    Member member = store.create(number);
    if (number % 3 != 0) member.machine = std::to_string(1000 + number);
    member.name = "Membre n\xC2\xB0" + std::to_string(number);
    member.field(CardField::City) = number % 2 ? "Orl\xC3\xA9"
                                                 "ans"
                                               : "";
    if (number % 4 == 0) member.background = 0x00FF8040u + static_cast<std::uint32_t>(number);
    store.save(member);
    if (number % 5 == 0) store.set_picture(number, picture_bytes(30 + number, 20, "PNG"));
  }
  store.set_shared_picture(2, SharedPicture{"\xE9t\xE9.png", "image/png", picture_bytes(8, 8, "PNG")});
  store.set_shared_picture(10, SharedPicture{"", "image/jpeg", std::string()});
}

TEST(Migration, CopiesEverythingOnceAndFinishesACopyCutShort) {
  TemporaryFolder folder;
  const std::string from = folder.path("old.sqlite");
  const std::string to = fresh_database(folder);
  {
    MemberStore source(from);
    fill(source, 1, 120);
  }
  // What a copy cut short leaves: the first batches, each whole.
  const MigrationCounts first = migrate_database(from, to);
  EXPECT_EQ(first.members_copied, 120);
  {
    MemberStore source(from);
    fill(source, 121, 250);
    source.picture(125, PictureSize::Small);  // a scaled copy, kept with the member
  }
  const MigrationCounts rest = migrate_database(from, to);
  EXPECT_EQ(rest.members, 250);
  EXPECT_EQ(rest.members_copied, 130);
  EXPECT_EQ(rest.shared_pictures, 2);
  EXPECT_EQ(rest.shared_pictures_copied, 0);
  const MigrationCounts again = migrate_database(from, to);
  EXPECT_EQ(again.members_copied + again.shared_pictures_copied, 0);

  MemberStore source(from);
  MemberStore destination(to);
  const std::vector<Member> members = source.members();
  const std::vector<Member> copied = destination.members();
  ASSERT_EQ(copied.size(), members.size());
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Member& a = members[i];
    const Member& b = copied[i];
    EXPECT_TRUE(a.number == b.number && a.machine == b.machine && a.name == b.name && a.card == b.card &&
                a.background == b.background)
        << "member " << a.number;
    EXPECT_EQ(source.picture(a.number, PictureSize::Large), destination.picture(b.number, PictureSize::Large));
  }
  for (const int channel : {2, 10}) {
    const auto a = source.shared_picture(channel);
    const auto b = destination.shared_picture(channel);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->file_name == b->file_name && a->content_type == b->content_type && a->data == b->data);
  }
  EXPECT_EQ(count_of(to, "SELECT count(*) FROM members WHERE picture_small IS NOT NULL"), 1);
}

TEST(Migration, AMachineTakenInTheDestinationStopsTheCopyNamingTheMember) {
  TemporaryFolder folder;
  const std::string from = folder.path("old.sqlite");
  const std::string to = fresh_database(folder);
  {
    MemberStore source(from);
    fill(source, 1, 4);
    MemberStore destination(to);
    destination.enrol("1002");  // number 1 in the destination, member 2's machine in the source
  }
  try {
    migrate_database(from, to);
    ADD_FAILURE() << "the copy went through";
  } catch (const DatabaseError& refusal) {
    EXPECT_NE(std::string(refusal.what()).find("members 2 cannot be copied"), std::string::npos) << refusal.what();
  }
  EXPECT_THROW(migrate_database(folder.path("none.sqlite"), to), DatabaseError);
  EXPECT_FALSE(std::filesystem::exists(folder.path("none.sqlite")));
}

TEST(PostgresDatabase, NumbersThePlaceholdersOutsideQuotedText) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"SELECT ?", "SELECT $1"},
      {"UPDATE t SET a = ?, b = '?' WHERE c = ?", "UPDATE t SET a = $1, b = '?' WHERE c = $2"},
      {"SELECT 'it''s ?', ?", "SELECT 'it''s ?', $1"},
      {"SELECT 1", "SELECT 1"},
  };
  for (const auto& [sql, numbered] : cases) EXPECT_EQ(database::numbered_placeholders(sql).first, numbered) << sql;
}

TEST(PostgresDatabase, RequestsAnswer503WhileTheServerIsAwayAndTheServiceRecoversByItself) {
  if (!suite_runs_on_postgresql()) GTEST_SKIP() << "the suite runs on SQLite files";
  RunningWebService service;
  ASSERT_EQ(service.get("/Tr8mQe2xVk.php?S=2&V=KALVIRO%200.7.8&A=&F=&I=501")->status, 200);
  marvok::testing::shared_postgres_server().stop();
  const auto asked = std::chrono::steady_clock::now();
  const httplib::Result away = service.get("/users/1/client.xml");
  const auto waited = std::chrono::steady_clock::now() - asked;
  ASSERT_TRUE(away);
  EXPECT_EQ(away->status, 503);
  EXPECT_LT(waited, std::chrono::seconds(3)) << "the client gives up before a 503 reaches it";
  EXPECT_EQ(service.get("/Tr8mQe2xVk.php?S=2&V=KALVIRO%200.7.8&A=&F=&I=502")->status, 503);
  marvok::testing::shared_postgres_server().start();
  EXPECT_EQ(service.get("/users/1/client.xml")->status, 200);
  const httplib::Result enrolled = service.get("/Tr8mQe2xVk.php?S=2&V=KALVIRO%200.7.8&A=&F=&I=502");
  ASSERT_TRUE(enrolled);
  EXPECT_EQ(enrolled->body.substr(34, 5), "00002") << "the refused enrolment kept a number";
  EXPECT_NE(service.log_text().find("GET /users/1/client.xml 503"), std::string::npos) << service.log_text();
}

}  // namespace
}  // namespace marvok::web_server::testing
