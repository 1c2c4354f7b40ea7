#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace marvok::web {

// The member's display parameters as posted to the web service: five
// little-endian 32-bit fields, kind 1, red, green, blue and the member number.
using ParametersRecord = std::array<std::uint8_t, 20>;

// The record for a colour kept as 0x00BBGGRR.
ParametersRecord build_parameters_record(std::uint32_t colour, std::uint16_t member_id);

// The background colour of a params.xml document: its BACKGROUND element read
// as hexadecimal, as the C library reads a long of 32 bits (leading blanks,
// a sign and "0x" allowed, stopping at the first other character, no digit
// giving 0, out of range giving the nearest limit), kept as 0x00BBGGRR
// whatever it holds. Nothing when the document has no such element.
std::optional<std::uint32_t> read_background_colour(std::string_view document);

}  // namespace marvok::web
