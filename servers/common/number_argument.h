#pragma once

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace marvok::command_line {

// The whole text as a number from lowest to highest: no space, '+' or unit
// around it.
template <typename Number>
std::optional<Number> parse_number(std::string_view text, Number lowest, Number highest) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  // Written so that a NaN, which compares false with everything, fails it too.
  if (error != std::errc{} || end != text.data() + text.size() || !(value >= lowest && value <= highest))
    return std::nullopt;
  return value;
}

// At least one digit, and only digits.
inline bool all_digits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace marvok::command_line
