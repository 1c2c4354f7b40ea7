#include "web/member_card.h"

#include "web/xml_record.h"

namespace marvok::web {

void fill_member_card(MemberCard& card, std::string_view document) {
  read_text_field(document, "PRENOM", card.first_name);
  read_text_field(document, "PSEUDO", card.nickname);
  read_text_field(document, "VILLE", card.city);
  read_text_field(document, "PHRASE", card.phrase);
  read_text_field(document, "JOUR", card.day);
  read_text_field(document, "EMAIL", card.email);
  read_text_field(document, "FOLDER", card.folder);
}

SpeakerCard read_speaker_card(std::string_view document) {
  std::array<char, 64> first_name{};
  std::array<char, 64> city{};
  std::array<char, 128> phrase{};
  read_text_field(document, "PRENOM", first_name);
  read_text_field(document, "VILLE", city);
  read_text_field(document, "PHRASE", phrase);
  return {std::string(field_text(first_name)), std::string(field_text(city)), std::string(field_text(phrase))};
}

}  // namespace marvok::web
