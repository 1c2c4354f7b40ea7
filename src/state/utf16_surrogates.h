#pragma once

namespace marvok {

// The two halves of a UTF-16 pair, which stands for one character beyond 16 bits.
constexpr bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool is_low_surrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace marvok
