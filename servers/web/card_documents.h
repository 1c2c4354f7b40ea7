#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "member_card.h"

namespace marvok::web_server {

// The client pulls elements out of these documents by plain text search and
// decodes only "&#xE9;", so a member's text is written with é as that
// reference and with & < > escaped: no text can close an element early or
// open one of its own.
std::string escape_card_text(std::string_view utf8);

// Why a text cannot be shown by the client: not UTF-8, or holding a control
// character. Nothing when it can.
std::optional<std::string_view> text_problem(std::string_view utf8);

// Why a text cannot go into a card field, or nothing when it can: it must be
// UTF-8 without control characters, and its written form must leave room for
// the client's terminator, or the client would drop the whole field.
std::optional<std::string> card_text_problem(CardField field, std::string_view utf8);

// /users/{id}/client.xml
std::string client_document(const Member& member);

// /users/{id}/params.xml; the colour is the COLORREF the client stores as it is.
std::string params_document(std::uint32_t background);

}  // namespace marvok::web_server
