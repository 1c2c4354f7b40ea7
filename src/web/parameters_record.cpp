#include "web/parameters_record.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "state/little_endian.h"
#include "web/xml_record.h"

namespace marvok::web {

namespace {

constexpr std::uint32_t kParametersKind = 1;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::int32_t read_hex_long(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // "0x" counts only when a hexadecimal digit follows it.
  if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      hex_digit(text[i + 2]) >= 0)
    i += 2;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t value = 0;
  for (; i < text.size() && hex_digit(text[i]) >= 0; ++i) value = std::min(value * 16 + hex_digit(text[i]), kLimit);
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

ParametersRecord build_parameters_record(std::uint32_t colour, std::uint16_t member_id) {
  ParametersRecord record{};
  write_u32_le(record, 0, kParametersKind);
  write_u32_le(record, 4, colour & 0xFF);
  write_u32_le(record, 8, colour >> 8 & 0xFF);
  write_u32_le(record, 12, colour >> 16 & 0xFF);
  write_u32_le(record, 16, member_id);
  return record;
}

std::optional<std::uint32_t> read_background_colour(std::string_view document) {
  std::array<char, 64> field{};
  if (!extract_tag(document, "BACKGROUND", field)) return std::nullopt;
  decode_entities(field);
  return static_cast<std::uint32_t>(read_hex_long(field_text(field)));
}

}  // namespace marvok::web
