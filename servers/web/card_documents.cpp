#include "card_documents.h"

#include <cstdio>

namespace marvok::web_server {

namespace {

// Lead byte patterns of UTF-8; overlong forms and surrogates are refused.
bool is_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07u;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kShortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

bool has_control_character(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

void append_element(std::string& document, std::string_view name, std::string_view utf8) {
  document.append("<").append(name).append(">");
  document.append(escape_card_text(utf8));
  document.append("</").append(name).append(">\n");
}

}  // namespace

std::string escape_card_text(std::string_view utf8) {
  std::string written;
  written.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c == '&') {
      written += "&amp;";
    } else if (c == '<') {
      written += "&lt;";
    } else if (c == '>') {
      written += "&gt;";
    } else if (c == '\xC3' && i + 1 < utf8.size() && utf8[i + 1] == '\xA9') {
      written += "&#xE9;";
      ++i;
    } else {
      written += c;
    }
  }
  return written;
}

std::optional<std::string_view> text_problem(std::string_view utf8) {
  if (!is_utf8(utf8)) return "the text is not UTF-8";
  if (has_control_character(utf8)) return "the text holds a control character";
  return std::nullopt;
}

std::optional<std::string> card_text_problem(CardField field, std::string_view utf8) {
  const CardFieldInfo& info = card_field_info(field);
  if (auto problem = text_problem(utf8)) return std::string(info.option) + ": " + std::string(*problem);
  const std::size_t written = escape_card_text(utf8).size();
  const std::size_t room = info.capacity - 1;
  if (written > room) {
    return std::string(info.option) + ": too long for the client: written as " + std::to_string(written) +
           " bytes in " + std::string(info.element) + ", which holds at most " + std::to_string(room) +
           " (é counts 6 bytes, & 5, < and > 4, other accented letters 2)";
  }
  return std::nullopt;
}

std::string client_document(const Member& member) {
  std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CLIENT>\n";
  for (const CardFieldInfo& info : kCardFields) append_element(document, info.element, member.field(info.field));
  document += "</CLIENT>\n";
  return document;
}

std::string params_document(std::uint32_t background) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%06x", static_cast<unsigned>(background & 0xFFFFFFu));
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PARAMS>\n<BACKGROUND>") + hex +
         "</BACKGROUND>\n</PARAMS>\n";
}

}  // namespace marvok::web_server
