#include "member_card.h"

namespace marvok::web_server {

Member default_member(int number) {
  Member member;
  member.number = number;
  member.name = "Membre " + std::to_string(number);
  member.field(CardField::FirstName) = member.name;
  member.field(CardField::Folder) = "membre" + std::to_string(number);
  member.field(CardField::Phrase) = "Bienvenue sur le réseau Marvok";
  member.background = 0x000000;
  return member;
}

}  // namespace marvok::web_server
