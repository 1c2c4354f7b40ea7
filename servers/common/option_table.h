#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace marvok::command_line {

// One option a server understands, as its usage lists it.
struct Option {
  std::string_view name;        // with its dashes: "--address"
  std::string_view value_name;  // "IPV4"; empty for a flag, which takes no value
  std::string_view help;        // a line break continues the text under its first line
};

// An option as it was given.
struct Given {
  std::string_view name;   // the table's name
  std::string_view value;  // empty for a flag
};

enum class Repeats { Allowed, Refused };

struct GivenOptions {
  std::vector<Given> given;  // in the order given
  std::string error;         // empty when every argument was read
};

// "--help" or "-h" anywhere asks for the usage, whatever else is there.
bool asks_for_help(std::span<const std::string_view> arguments);

// Reads the table's options. A value follows its option as the next argument
// or after '=' ("--port=8443"); the next argument is taken even when it looks
// like an option, so a value may start with a dash.
GivenOptions read_options(std::span<const std::string_view> arguments, std::span<const Option> table, Repeats repeats);

}  // namespace marvok::command_line
