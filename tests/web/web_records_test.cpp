#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "state/session_state.h"
#include "web/identification_reply.h"
#include "web/member_card.h"
#include "web/parameters_record.h"
#include "web/request_paths.h"
#include "web/xml_record.h"

namespace marvok::web {
namespace {

TEST(XmlRecordTest, ExtractsTheFirstWellFormedElementThatFits) {
  const std::string sixty_three(63, 'a');
  const struct {
    const char* name;
    std::string document;
    const char* expected;  // "old" when the field keeps its value
  } cases[] = {
      {"plain", "<PRENOM>Ana</PRENOM>", "Ana"},
      {"63 bytes fit", "<PRENOM>" + sixty_three + "</PRENOM>", sixty_three.c_str()},
      {"64 bytes are ignored", "<PRENOM>" + sixty_three + "b</PRENOM>", "old"},
      {"first of two", "<PRENOM>Un</PRENOM><PRENOM>Deux</PRENOM>", "Un"},
      {"nesting not tracked", "<A><PRENOM>x</PRENOM></A>", "x"},
      {"attribute", "<PRENOM lang=\"fr\">Ana</PRENOM>", "old"},
      {"self-closing", "<PRENOM/>", "old"},
      {"no closing tag", "<PRENOM>Ana<VILLE>Lyon</VILLE>", "old"},
      {"closing tag before", "</PRENOM><PRENOM>Ana", "old"},
      {"empty element", "<PRENOM></PRENOM>", ""},
      {"bytes kept as they are", "<PRENOM> a\nb &amp; </PRENOM>", " a\nb &amp; "},
      {"lower case is another name", "<prenom>Ana</prenom>", "old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::array<char, 64> field{'o', 'l', 'd'};
    extract_tag(c.document, "PRENOM", field);
    EXPECT_STREQ(field.data(), c.expected);
  }
}

TEST(XmlRecordTest, ReadsOnlyTheBytesThatArrived) {
  // The closing tag lies just past the document's end: it must not be found there.
  const std::string buffer = "<VILLE>Lyon</VILLE>";
  std::array<char, 64> field{};
  extract_tag(std::string_view(buffer).substr(0, buffer.size() - 1), "VILLE", field);
  EXPECT_STREQ(field.data(), "");
}

TEST(XmlRecordTest, DecodesOnlyTheSmallEAcute) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"J&#xE9;r&#xE9;my", "J\xC3\xA9r\xC3\xA9my"},
      {"&#xC9;cole", "&#xC9;cole"},
      {"&amp;&lt;", "&amp;&lt;"},
      {"fin &#xE9", "fin &#xE9"},
      {"&#xe9;", "&#xe9;"},
      {"&&#xE9;", "&\xC3\xA9"},
  };
  for (const auto& c : cases) {
    std::array<char, 64> field{};
    std::copy_n(c.text, std::strlen(c.text), field.begin());
    decode_entities(field);
    EXPECT_STREQ(field.data(), c.expected) << c.text;
  }
  // A full field without its NUL is decoded within its bounds.
  std::array<char, 6> full = {'&', '#', 'x', 'E', '9', ';'};
  decode_entities(full);
  EXPECT_STREQ(full.data(), "\xC3\xA9");
}

TEST(MemberCardTest, FillsEveryFieldAndKeepsWhatIsMissing) {
  MemberCard card;
  fill_member_card(card,
                   "<PRENOM>J&#xE9;r&#xE9;my</PRENOM><PSEUDO>jj</PSEUDO><VILLE>Nantes</VILLE>"
                   "<PHRASE>Bonjour</PHRASE><JOUR>lundi</JOUR><EMAIL>j@ex.fr</EMAIL><FOLDER>jeremy</FOLDER>");
  fill_member_card(card, "<VILLE>Lyon</VILLE><PHRASE>" + std::string(128, 'x') + "</PHRASE>");
  EXPECT_EQ(field_text(card.first_name), "J\xC3\xA9r\xC3\xA9my");
  EXPECT_EQ(field_text(card.city), "Lyon");
  EXPECT_EQ(field_text(card.phrase), "Bonjour");
  EXPECT_EQ(field_text(card.folder), "jeremy");

  const SpeakerCard speaker = read_speaker_card("<VILLE>Lyon</VILLE>");
  EXPECT_EQ(speaker.first_name, "");
  EXPECT_EQ(speaker.city, "Lyon");
}

std::vector<std::uint8_t> reply_with(std::string number, std::string name, std::size_t length = 64) {
  std::vector<std::uint8_t> reply(std::max<std::size_t>(length, 64), 'h');
  std::copy(number.begin(), number.end(), reply.begin() + 34);
  std::fill(reply.begin() + 40, reply.begin() + 64, 0);
  std::copy(name.begin(), name.end(), reply.begin() + 40);
  reply.resize(length);
  return reply;
}

TEST(IdentificationReplyTest, ReadsNumberAndName) {
  const struct {
    const char* title;
    std::vector<std::uint8_t> reply;
    int member;  // -1: not an identification
    std::string name;
  } cases[] = {
      {"digits", reply_with("00042", "Andr\xE9"), 42, "Andr\xE9"},
      {"leading blanks", reply_with("   17", "A"), 17, "A"},
      {"stops at a letter", reply_with("12x45", "A"), 12, "A"},
      {"negative kept to 16 bits", reply_with("-0001", "A"), 65535, "A"},
      {"24 bytes of name kept whole", reply_with("00007", std::string(24, 'n')), 7, std::string(24, 'n')},
      {"no digit", reply_with("abcde", "A"), -1, ""},
      {"stops before the number ends", reply_with("00042", "", 38), -1, ""},
      {"stops inside the name", reply_with("00042", "Marie-Claire", 45), 42, "Marie"},
      {"stops before the name", reply_with("00042", "A", 39), 42, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    const auto identification = read_identification_reply(c.reply);
    ASSERT_EQ(identification.has_value(), c.member >= 0);
    if (!identification) continue;
    EXPECT_EQ(identification->member_id, c.member);
    EXPECT_EQ(identification->name, c.name);
  }
}

TEST(IdentificationReplyTest, GreetsTheMemberAndSetsTheWireBytes) {
  SessionState state;
  apply_identification(*read_identification_reply(reply_with("00042", "Andr\xE9")), state.identity, state.display);
  EXPECT_EQ(state.identity.MemberId.load(), 42);
  const MemberIdBytes wire = state.identity.MemberIdWire.load();
  EXPECT_EQ(wire.high, 0x00);
  EXPECT_EQ(wire.low, 0x2A);
  EXPECT_EQ(state.identity.MemberName.get(), "Andr\xE9");
  EXPECT_EQ(state.display.StatusText.get(), u"Bonjour André.  Sois le bienvenu sur notre réseau !");
}

TEST(ParametersRecordTest, PostsTheColourAndReadsItBack) {
  const ParametersRecord record = build_parameters_record(0x1E140A, 512);
  const ParametersRecord expected = {1, 0, 0, 0, 0x0A, 0, 0, 0, 0x14, 0, 0, 0, 0x1E, 0, 0, 0, 0, 2, 0, 0};
  EXPECT_EQ(record, expected);

  const struct {
    const char* document;
    std::optional<std::uint32_t> colour;
  } cases[] = {
      {"<BACKGROUND>ff8000</BACKGROUND>", 0xFF8000},  // blue 255, green 128
      {"<BACKGROUND>0000FF</BACKGROUND>", 0x0000FF},  // red
      {"<BACKGROUND>  0x1e140a;</BACKGROUND>", 0x1E140A},
      {"<BACKGROUND>0x</BACKGROUND>", 0},
      {"<BACKGROUND>zz</BACKGROUND>", 0},
      {"<BACKGROUND>-1</BACKGROUND>", 0xFFFFFFFF},
      {"<BACKGROUND>123456789</BACKGROUND>", 0x7FFFFFFF},
      {"<PARAMS></PARAMS>", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(read_background_colour(c.document), c.colour) << c.document;
}

TEST(RequestPathsTest, BuildsEveryPath) {
  EXPECT_EQ(build_request_path(WebFolder::Users, 7, 1), "/users/images.php?F=7&N=1");
  EXPECT_EQ(build_request_path(WebFolder::Exchange, 3, 1), "/echange/pc_img_share_get.php?F=3&N=1");
  EXPECT_EQ(build_request_path(WebFolder::Exchange, 3, 3), "/echange/pc_img_share_post.php");
  EXPECT_EQ(build_request_path(WebFolder::Usb, 0, 2), "/usb/usb_green.png");
  EXPECT_EQ(build_request_path(WebFolder::Usb, 0, 4), "");
  EXPECT_EQ(card_path(0), "/users/0/client.xml");
  EXPECT_EQ(identification_path("1234"), "/Tr8mQe2xVk.php?S=2&I=1234&V=KALVIRO 0.7.8&A=&F=");
}

}  // namespace
}  // namespace marvok::web
