#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace marvok::web_server {

// The answer to a PC's identification, 64 bytes:
//   0..33   kIdentificationHeader
//   34..38  the member number, five ASCII digits
//   39      a space
//   40..63  the display name in Windows-1252, NUL-padded
inline constexpr std::size_t kIdentificationReplyBytes = 64;
inline constexpr std::size_t kMemberNumberOffset = 34;
inline constexpr std::size_t kDisplayNameOffset = 40;
inline constexpr std::size_t kDisplayNameBytes = 24;
inline constexpr std::string_view kIdentificationHeader = "MARVOK identification v1          ";
static_assert(kIdentificationHeader.size() == kMemberNumberOffset);

using IdentificationReply = std::array<char, kIdentificationReplyBytes>;

// `display_name` is UTF-8; characters the code page lacks become '?', and a
// name longer than 24 bytes in the code page is cut there.
IdentificationReply identification_reply(int member_number, std::string_view display_name);

}  // namespace marvok::web_server
