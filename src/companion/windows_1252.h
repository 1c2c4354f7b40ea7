#pragma once

#include <string>
#include <string_view>

namespace marvok::companion {

// The text in the 8-bit code page the speech companion reads. A character the
// code page lacks becomes '?', one per character even when it takes two
// UTF-16 units.
std::string to_windows_1252(std::u16string_view text);

}  // namespace marvok::companion
