// Feeds what the web service could answer to the readers of its documents
// and of the identification reply. The first byte picks the reader; for a
// single field, the second byte picks the element and the third the size of
// the field it is read into.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "entity_decoding.h"
#include "state/session_state.h"
#include "web/identification_reply.h"
#include "web/member_card.h"
#include "web/parameters_record.h"
#include "web/xml_record.h"

namespace {

using marvok::web::field_text;

constexpr std::array<std::string_view, 8> kElements = {"PRENOM", "PSEUDO", "VILLE",  "PHRASE",
                                                       "JOUR",   "EMAIL",  "FOLDER", "BACKGROUND"};

std::string_view up_to_nul(std::span<const char> text) {
  const std::string_view all(text.data(), text.size());
  return all.substr(0, all.find('\0'));
}

// The content of the first complete element, when it fits a field of this size with its NUL.
std::optional<std::string_view> element_content(std::string_view document, std::string_view name,
                                                std::size_t capacity) {
  const std::string opening = "<" + std::string(name) + ">";
  const std::size_t open_at = document.find(opening);
  if (open_at == std::string_view::npos) return std::nullopt;
  const std::size_t content_at = open_at + opening.size();
  const std::size_t close_at = document.find("</" + std::string(name) + ">", content_at);
  if (close_at == std::string_view::npos || close_at - content_at >= capacity) return std::nullopt;
  return document.substr(content_at, close_at - content_at);
}

// One element into a field exactly as large as chosen, with nothing to spare
// past it: extraction copies the content or leaves the field alone, and
// reading it as the callers do leaves a NUL-terminated, decoded text.
void check_field(std::string_view document, std::string_view name, std::size_t capacity) {
  std::vector<char> field(capacity, 'x');
  const std::optional<std::string_view> content = element_content(document, name, capacity);
  if (marvok::web::extract_tag(document, name, field) != content.has_value()) __builtin_trap();
  if (content) {
    if (std::string_view(field.data(), content->size()) != *content || field[content->size()] != '\0') __builtin_trap();
  } else if (std::ranges::any_of(field, [](char c) { return c != 'x'; })) {
    __builtin_trap();
  }

  std::vector<char> read(capacity, 'x');
  marvok::web::read_text_field(document, name, read);
  if (read.back() != '\0') __builtin_trap();
  // A field the element does not fill keeps what it held, cut to its last byte.
  const std::string expected =
      content ? marvok::fuzz::with_e_acute_decoded(up_to_nul(*content)) : std::string(capacity - 1, 'x');
  if (up_to_nul(read) != expected) __builtin_trap();
}

template <std::size_t N>
void require_kept_or_read(const std::array<char, N>& field, std::string_view document, std::string_view name) {
  if (field.back() != '\0') __builtin_trap();
  const auto content = element_content(document, name, N);
  // A field the document does not fill stays empty, as the card starts.
  const std::string expected = content ? marvok::fuzz::with_e_acute_decoded(up_to_nul(*content)) : std::string();
  if (field_text(field) != expected) __builtin_trap();
}

void check_cards(std::string_view document) {
  marvok::web::MemberCard card;
  marvok::web::fill_member_card(card, document);
  require_kept_or_read(card.first_name, document, "PRENOM");
  require_kept_or_read(card.nickname, document, "PSEUDO");
  require_kept_or_read(card.city, document, "VILLE");
  require_kept_or_read(card.phrase, document, "PHRASE");
  require_kept_or_read(card.day, document, "JOUR");
  require_kept_or_read(card.email, document, "EMAIL");
  require_kept_or_read(card.folder, document, "FOLDER");

  const marvok::web::SpeakerCard speaker = marvok::web::read_speaker_card(document);
  if (speaker.first_name != field_text(card.first_name) || speaker.city != field_text(card.city) ||
      speaker.phrase != field_text(card.phrase))
    __builtin_trap();

  const auto colour = marvok::web::read_background_colour(document);
  if (colour.has_value() != element_content(document, "BACKGROUND", 64).has_value()) __builtin_trap();
}

void check_identification(std::span<const std::uint8_t> reply) {
  const auto identification = marvok::web::read_identification_reply(reply);
  if (reply.size() < 39) {
    if (identification) __builtin_trap();
    return;
  }
  if (!identification) return;
  const std::string_view bytes(reinterpret_cast<const char*>(reply.data()), reply.size());
  const std::string_view name = bytes.size() > 40 ? up_to_nul(bytes.substr(40, 24)) : std::string_view();
  if (identification->name != name) __builtin_trap();
  marvok::SessionState state;
  marvok::web::apply_identification(*identification, state.identity, state.display);
  if (state.identity.MemberId.load() != identification->member_id) __builtin_trap();
  const auto wire = state.identity.MemberIdWire.load();
  if ((wire.high << 8 | wire.low) != identification->member_id) __builtin_trap();
  if (state.identity.MemberName.get() != identification->name) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const std::span<const std::uint8_t> body(data + 1, size - 1);
  const std::string_view document(reinterpret_cast<const char*>(body.data()), body.size());
  switch (selector % 4) {
    case 0: {
      if (body.size() < 2) return 0;
      const std::string_view name = kElements[body[0] % kElements.size()];
      check_field(document.substr(2), name, 1 + body[1] % 128);
      break;
    }
    case 1: check_cards(document); break;
    case 2: check_identification(body); break;
    default: {
      // Decoding a text that has no NUL stays within it.
      std::array<char, 64> field{};
      const std::size_t length = std::min(body.size(), field.size());
      std::memcpy(field.data(), body.data(), length);
      const std::string expected = marvok::fuzz::with_e_acute_decoded(up_to_nul(field));
      marvok::web::decode_entities(field);
      if (std::string_view(field.data(), expected.size()) != expected) __builtin_trap();
      if (expected.size() < field.size() && field[expected.size()] != '\0') __builtin_trap();
      break;
    }
  }
  return 0;
}
