#pragma once

#include <array>
#include <string>
#include <string_view>

#include "web/xml_record.h"

namespace marvok::web {

// The signed-in member's card from client.xml, kept for the whole run as
// UTF-8, NUL-terminated fields; empty until a card arrives.
struct MemberCard {
  std::array<char, 64> first_name{};
  std::array<char, 64> nickname{};
  std::array<char, 64> city{};
  std::array<char, 128> phrase{};
  std::array<char, 64> day{};
  std::array<char, 128> email{};
  std::array<char, 64> folder{};
};

// Fills the card from a client.xml document. A missing element, or one too
// long for its field, leaves that field as it was.
void fill_member_card(MemberCard& card, std::string_view document);

// What the main window shows of the member who speaks.
struct SpeakerCard {
  std::string first_name;
  std::string city;
  std::string phrase;
};

// Reads a speaker's card; a field the document lacks is empty.
SpeakerCard read_speaker_card(std::string_view document);

}  // namespace marvok::web
