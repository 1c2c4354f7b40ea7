#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace marvok::web_server {

// The fields of a member's card, in the order the card document lists them.
enum class CardField { FirstName, Nickname, City, Phrase, Day, Email, Folder };

inline constexpr std::size_t kCardFieldCount = 7;

struct CardFieldInfo {
  CardField field;
  std::string_view element;  // the element of the card document
  std::string_view option;   // the operator's option that sets it
  std::size_t capacity;      // the client's buffer for it, its terminator included
};

inline constexpr std::array<CardFieldInfo, kCardFieldCount> kCardFields{{
    {CardField::FirstName, "PRENOM", "--first-name", 64},
    {CardField::Nickname, "PSEUDO", "--nickname", 64},
    {CardField::City, "VILLE", "--city", 64},
    {CardField::Phrase, "PHRASE", "--phrase", 128},
    {CardField::Day, "JOUR", "--day", 64},
    {CardField::Email, "EMAIL", "--email", 128},
    {CardField::Folder, "FOLDER", "--folder", 64},
}};

inline const CardFieldInfo& card_field_info(CardField field) { return kCardFields[static_cast<std::size_t>(field)]; }

// Member numbers the client can carry: five digits on the wire, 16 bits inside.
inline constexpr int kFirstMemberNumber = 1;
inline constexpr int kLastMemberNumber = 65535;

// A member as the service stores it. Texts are UTF-8.
struct Member {
  int number = 0;
  std::optional<std::string> machine;  // the identifier of the PC it signs in from
  std::string name;                    // display name, sent in the identification reply
  std::array<std::string, kCardFieldCount> card;
  // The background colour as the client reads it, 0x00BBGGRR; none when the
  // member has no stored parameters.
  std::optional<std::uint32_t> background;

  std::string& field(CardField which) { return card[static_cast<std::size_t>(which)]; }
  const std::string& field(CardField which) const { return card[static_cast<std::size_t>(which)]; }
};

// The card a member starts with, on first identification or first edit.
Member default_member(int number);

}  // namespace marvok::web_server
