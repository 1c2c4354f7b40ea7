#include "operator_commands.h"

#include <algorithm>
#include <charconv>

namespace marvok::relay_server {

namespace {

constexpr std::string_view kSpaces = " \t\r";

// Removes and returns the next word of `text`.
std::string_view next_word(std::string_view& text) {
  const auto begin = text.find_first_not_of(kSpaces);
  if (begin == std::string_view::npos) {
    text = {};
    return {};
  }
  text.remove_prefix(begin);
  const auto end = std::min(text.find_first_of(kSpaces), text.size());
  const std::string_view word = text.substr(0, end);
  text.remove_prefix(end);
  return word;
}

std::optional<std::uint16_t> parse_member(std::string_view word) {
  std::uint16_t member = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), member);
  if (error != std::errc{} || end != word.data() + word.size()) return std::nullopt;
  return member;
}

}  // namespace

std::optional<OperatorCommand> parse_operator_command(std::string_view line) {
  const std::string_view verb = next_word(line);
  const std::string_view argument = next_word(line);
  if (!next_word(line).empty()) return std::nullopt;
  if (verb == "list" && argument.empty()) return OperatorCommand{OperatorCommand::Kind::List, 0};
  if (verb != "close") return std::nullopt;
  if (argument == "all") return OperatorCommand{OperatorCommand::Kind::CloseAll, 0};
  const auto member = parse_member(argument);
  if (!member) return std::nullopt;
  return OperatorCommand{OperatorCommand::Kind::CloseMember, *member};
}

std::optional<std::string> refuse_operator_command(std::string_view line) {
  if (parse_operator_command(line)) return std::nullopt;
  return "unknown command; try: close MEMBER, close all, list\n";
}

}  // namespace marvok::relay_server
