#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace marvok::web {

// The web service's documents are read as flat text: an element is exactly
// "<NAME>content</NAME>", and the first one in the document wins, whatever
// encloses it.

// Copies the content of the first element called `name` into `destination`,
// followed by a NUL. The destination keeps its value when the element, or its
// closing tag, is missing, or when the content does not fit with its NUL:
// too long a content is ignored, never cut. True when the content was copied.
bool extract_tag(std::string_view document, std::string_view name, std::span<char> destination);

// Rewrites a NUL-terminated text in place, each "&#xE9;" becoming é in UTF-8;
// every other reference stays as it came. Stops at the text's NUL, or at the
// end of the span when there is none.
void decode_entities(std::span<char> text);

// Reads a text field as the callers do: extraction, a NUL in the field's last
// byte whatever happened, then the decoding of é.
void read_text_field(std::string_view document, std::string_view name, std::span<char> field);

// A field's text, up to its NUL.
template <std::size_t N>
std::string_view field_text(const std::array<char, N>& field) {
  const std::string_view all(field.data(), N);
  return all.substr(0, all.find('\0'));
}

}  // namespace marvok::web
