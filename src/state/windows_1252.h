#pragma once

#include <string>
#include <string_view>

namespace marvok {

// Windows-1252, the 8-bit code page of the members' PCs: the speech companion
// reads it and the web service writes display names in it.

// The text in the code page. A character the
// code page lacks becomes '?', one per character even when it takes two
// UTF-16 units.
std::string to_windows_1252(std::u16string_view text);

// The bytes as text; a byte the code page leaves unused becomes U+FFFD.
std::u16string from_windows_1252(std::string_view bytes);

}  // namespace marvok
