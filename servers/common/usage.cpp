#include "usage.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace marvok::command_line {

namespace {

constexpr std::string_view kIndent = "  ";
constexpr std::size_t kGap = 3;
constexpr Option kHelp = {"--help", "", "print this text"};

std::string synopsis(const Option& option) {
  std::string text(option.name);
  if (!option.value_name.empty()) text.append(" ").append(option.value_name);
  return text;
}

}  // namespace

std::string describe_options(std::span<const Option> table) {
  std::vector<Option> options(table.begin(), table.end());
  options.push_back(kHelp);
  std::size_t widest = 0;
  for (const Option& option : options) widest = std::max(widest, synopsis(option).size());
  const std::size_t column = kIndent.size() + widest + kGap;

  std::string text;
  for (const Option& option : options) {
    std::string line = std::string(kIndent) + synopsis(option);
    line.resize(column, ' ');
    for (const char c : option.help) {
      line += c;
      if (c == '\n') line.append(column, ' ');
    }
    text += line + '\n';
  }
  return text;
}

int print_usage(std::string_view usage) {
  std::fwrite(usage.data(), 1, usage.size(), stdout);
  return 0;
}

int refuse_arguments(std::string_view program, std::string_view error, std::string_view usage) {
  std::fprintf(stderr, "%.*s: %.*s\n\n%.*s", static_cast<int>(program.size()), program.data(),
               static_cast<int>(error.size()), error.data(), static_cast<int>(usage.size()), usage.data());
  return kExitBadOptions;
}

}  // namespace marvok::command_line
