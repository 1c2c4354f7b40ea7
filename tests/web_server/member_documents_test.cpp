#include <gtest/gtest.h>

#include <cstdint>

#include "member_commands.h"
#include "running_web_service.h"
#include "state/version.h"
#include "wire_records.h"

namespace marvok::web_server::testing {
namespace {

// What the client reads from a document: the text between the first opening
// tag and the next closing one, "&#xE9;" decoded, nothing else; nothing when
// the content does not fit its buffer.
std::optional<std::string> client_reads(const std::string& document, const std::string& element, std::size_t capacity) {
  const std::size_t open = document.find("<" + element + ">");
  if (open == std::string::npos) return std::nullopt;
  const std::size_t start = open + element.size() + 2;
  const std::size_t close = document.find("</" + element + ">", start);
  if (close == std::string::npos || close - start >= capacity) return std::nullopt;
  std::string text = document.substr(start, close - start);
  for (std::size_t at; (at = text.find("&#xE9;")) != std::string::npos;) text.replace(at, 6, "é");
  return text;
}

std::string parameters_record(std::int32_t kind, std::int32_t red, std::int32_t green, std::int32_t blue,
                              std::int32_t member) {
  std::string record;
  for (const std::int32_t value : {kind, red, green, blue, member})
    for (int shift = 0; shift < 32; shift += 8) record += static_cast<char>(static_cast<std::uint32_t>(value) >> shift);
  return record;
}

int member_set(const std::string& database, const MemberEdit& edit, std::string* errors = nullptr) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const int code = run_member_set(database, edit, out, err);
  if (errors != nullptr) {
    std::rewind(err);
    char line[512] = {};
    *errors = std::fgets(line, sizeof line, err) != nullptr ? line : "";
  }
  std::fclose(out);
  std::fclose(err);
  return code;
}

TEST(ClientDocument, EscapesMembersTextSoNoneCanFakeAnElement) {
  RunningWebService service;
  MemberEdit edit;
  edit.number = 7;
  edit.card[static_cast<std::size_t>(CardField::FirstName)] = "</PRENOM><PRENOM>x";
  edit.card[static_cast<std::size_t>(CardField::City)] = "Saint-Étienne & <Loire>";
  edit.card[static_cast<std::size_t>(CardField::Phrase)] = "Café été";
  ASSERT_EQ(member_set(service.database(), edit), 0);

  const httplib::Result reply = service.get("/users/7/client.xml");
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->status, 200);
  const std::string& document = reply->body;
  EXPECT_TRUE(document.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CLIENT>\n<PRENOM>"));
  EXPECT_EQ(client_reads(document, "PRENOM", 64), "&lt;/PRENOM&gt;&lt;PRENOM&gt;x");
  EXPECT_EQ(client_reads(document, "VILLE", 64), "Saint-Étienne &amp; &lt;Loire&gt;");
  EXPECT_NE(document.find("<PHRASE>Caf&#xE9; &#xE9;t&#xE9;</PHRASE>"), std::string::npos);
  EXPECT_EQ(client_reads(document, "PHRASE", 128), "Café été");
  EXPECT_EQ(client_reads(document, "FOLDER", 64), "membre7");
  EXPECT_EQ(client_reads(document, "JOUR", 64), "");
}

TEST(ClientDocument, MemberSetRefusesTextsWhoseWrittenFormOverflowsTheClientsBuffer) {
  struct Case {
    CardField field;
    std::string text;
    bool accepted;
  };
  const std::string ten_e_acute = [] {
    std::string text;
    for (int i = 0; i < 10; ++i) text += "é";
    return text;
  }();
  const Case cases[] = {
      {CardField::FirstName, std::string(63, 'a'), true},
      {CardField::FirstName, std::string(64, 'a'), false},
      {CardField::Phrase, std::string(127, 'a'), true},
      {CardField::Email, std::string(128, 'a'), false},
      {CardField::City, ten_e_acute + "abc", true},  // 10 × 6 + 3 bytes written
      {CardField::City, ten_e_acute + "a&", false},  // 60 + 1 + 5
      {CardField::Folder, std::string(61, 'x') + "ü", true},
      {CardField::Day, std::string("\xC3"), false},
      {CardField::Nickname, "tab\there", false},
  };
  RunningWebService service;
  for (const Case& test : cases) {
    const CardFieldInfo& info = card_field_info(test.field);
    MemberEdit edit;
    edit.number = 3;
    edit.card[static_cast<std::size_t>(test.field)] = test.text;
    std::string errors;
    EXPECT_EQ(member_set(service.database(), edit, &errors), test.accepted ? 0 : 1) << info.option << test.text;
    const httplib::Result reply = service.get("/users/3/client.xml");
    ASSERT_TRUE(reply);
    const std::optional<std::string> read = client_reads(reply->body, std::string(info.element), info.capacity);
    if (test.accepted) {
      EXPECT_EQ(read, test.text) << info.option;
    } else {
      EXPECT_NE(errors.find(std::string(info.option)), std::string::npos) << errors;
      EXPECT_NE(read, test.text);
    }
  }
}

TEST(Parameters, PostedColourComesBackAsTheColorrefTheClientReads) {
  RunningWebService service;
  service.store().create(512);
  const httplib::Result posted = service.post("/users/params.php", parameters_record(1, 10, 20, 30, 512));
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->status, 200);
  const httplib::Result reply = service.get("/users/512/params.xml");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PARAMS>\n<BACKGROUND>1e140a</BACKGROUND>\n</PARAMS>\n");
}

TEST(Parameters, RefusesWrongRecordsAndStoresNothing) {
  struct Case {
    std::string body;
    int status;
  };
  const std::string good = parameters_record(1, 10, 20, 30, 512);
  const Case cases[] = {
      {good.substr(0, 19), 400},
      {good + '\0', 400},
      {std::string(5000, '\0'), 400},
      {parameters_record(2, 10, 20, 30, 512), 400},
      {parameters_record(1, 256, 20, 30, 512), 400},
      {parameters_record(1, 10, -1, 30, 512), 400},
      {parameters_record(1, 10, 20, 30, 513), 404},
      {parameters_record(1, 10, 20, 30, -512), 404},
  };
  RunningWebService service;
  service.store().create(512);
  for (const Case& test : cases) {
    const httplib::Result posted = service.post("/users/params.php", test.body);
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, test.status) << test.body.size();
  }
  EXPECT_EQ(service.store().find(512)->background, 0u);
  EXPECT_FALSE(service.store().find(513));
}

TEST(Requests, AnswerNotFoundOrBadRequestForWhatDoesNotExist) {
  struct Case {
    const char* path;
    int status;
  };
  const Case cases[] = {
      {"/users/99/client.xml", 404},
      {"/users/abc/client.xml", 404},
      {"/users/0/client.xml", 404},
      {"/users/99999999999/client.xml", 404},
      {"/users/2/params.xml", 404},
      {"/users/99/params.xml", 404},
      {"/users/images.php?N=2&F=99", 404},
      {"/users/images.php?N=3&F=1", 400},
      {"/users/images.php?F=1", 400},
      {"/echange/pc_img_share_get.php?F=4&N=1", 404},
      {"/echange/pc_img_share_get.php?F=11&N=1", 400},
      {"/echange/pc_img_share_get.php?F=-1&N=1", 400},
      {"/usb/usb_blue.png", 404},
      {"/index.php", 404},
      {"/users/1/client.xml/..", 404},
  };
  RunningWebService service;
  service.store().create(1);
  MemberEdit clear;
  clear.number = 2;
  clear.background = MemberEdit::Background::Clear;
  ASSERT_EQ(member_set(service.database(), clear), 0);
  for (const Case& test : cases) {
    const httplib::Result reply = service.get(test.path);
    ASSERT_TRUE(reply) << test.path;
    EXPECT_EQ(reply->status, test.status) << test.path;
  }
}

TEST(Requests, ServeTheSitePagesAsHtml) {
  RunningWebService service;
  for (const char* path : {"/", "/telechargement.php", "/installer.php", "/FR-Marvok.php"}) {
    const httplib::Result reply = service.get(path);
    ASSERT_TRUE(reply) << path;
    EXPECT_EQ(reply->status, 200) << path;
    EXPECT_EQ(reply->get_header_value("Content-Type"), "text/html; charset=UTF-8");
    EXPECT_TRUE(reply->body.starts_with("<!DOCTYPE html>")) << path;
  }
  EXPECT_NE(service.get("/FR-Marvok.php")->body.find("4500 secondes"), std::string::npos);
  const std::string package = std::string("./marvok_") + kClientVersion + "_amd64.deb</pre>";
  EXPECT_NE(service.get("/telechargement.php")->body.find(package), std::string::npos);
}

}  // namespace
}  // namespace marvok::web_server::testing
