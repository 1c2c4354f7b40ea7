#pragma once

#include <span>
#include <string>
#include <string_view>

#include "option_table.h"

namespace marvok::command_line {

// Every server ends with this code on options it cannot use, after its usage.
inline constexpr int kExitBadOptions = 2;

// The table as the usage lists it, one option a line with its help in one
// column, then --help.
std::string describe_options(std::span<const Option> table);

// The answer to --help: the usage on standard output, exit code 0.
int print_usage(std::string_view usage);

// "program: error", a blank line and the usage on standard error, exit code
// kExitBadOptions.
int refuse_arguments(std::string_view program, std::string_view error, std::string_view usage);

}  // namespace marvok::command_line
