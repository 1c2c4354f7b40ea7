// Feeds what the web service could answer to the readers of its documents
// and of the identification reply. The first byte picks the reader and the
// size of the field the document is read into.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "state/session_state.h"
#include "web/identification_reply.h"
#include "web/member_card.h"
#include "web/parameters_record.h"
#include "web/xml_record.h"

namespace {

// Decoding keeps the text within its field, NUL-terminated, never longer.
void check_decoding(std::span<char> field) {
  const std::size_t before = std::strlen(field.data());
  marvok::web::decode_entities(field);
  if (std::strlen(field.data()) > before) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const std::span<const std::uint8_t> body(data + 1, size - 1);
  const std::string_view document(reinterpret_cast<const char*>(body.data()), body.size());
  switch (selector % 4) {
    case 0: {
      // A field exactly as large as the capacity chosen: no spare byte past it.
      std::array<char, 129> storage{};
      const std::size_t capacity = 1 + selector % 128;
      const std::span<char> field(storage.data(), capacity);
      marvok::web::read_text_field(document, "PRENOM", field);
      if (field.back() != '\0') __builtin_trap();
      check_decoding(field);
      break;
    }
    case 1: {
      marvok::web::MemberCard card;
      marvok::web::fill_member_card(card, document);
      marvok::web::read_speaker_card(document);
      marvok::web::read_background_colour(document);
      break;
    }
    case 2: {
      if (const auto identification = marvok::web::read_identification_reply(body)) {
        if (identification->name.size() > 24) __builtin_trap();
        marvok::SessionState state;
        marvok::web::apply_identification(*identification, state.identity, state.display);
      }
      break;
    }
    default: {
      // Decoding a text that has no NUL stays within it.
      std::array<char, 64> field{};
      std::memcpy(field.data(), body.data(), std::min(body.size(), field.size()));
      marvok::web::decode_entities(field);
      break;
    }
  }
  return 0;
}
