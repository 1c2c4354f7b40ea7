#include "option_table.h"

#include <algorithm>
#include <optional>

namespace marvok::command_line {

namespace {

GivenOptions refused(std::string message) {
  GivenOptions result;
  result.error = std::move(message);
  return result;
}

const Option* find_option(std::span<const Option> table, std::string_view name) {
  const auto found = std::find_if(table.begin(), table.end(), [name](const Option& o) { return o.name == name; });
  return found == table.end() ? nullptr : &*found;
}

bool was_given(const std::vector<Given>& given, std::string_view name) {
  return std::any_of(given.begin(), given.end(), [name](const Given& g) { return g.name == name; });
}

}  // namespace

bool asks_for_help(std::span<const std::string_view> arguments) {
  return std::any_of(arguments.begin(), arguments.end(), [](std::string_view a) { return a == "--help" || a == "-h"; });
}

GivenOptions read_options(std::span<const std::string_view> arguments, std::span<const Option> table, Repeats repeats) {
  GivenOptions result;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view name = arguments[i];
    std::optional<std::string_view> attached;
    if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string_view::npos) {
      attached = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    const Option* option = find_option(table, name);
    if (option == nullptr) {
      return refused((name.starts_with('-') ? "unknown option " : "unexpected argument ") + std::string(name));
    }
    std::string_view value;
    if (option->value_name.empty()) {
      if (attached) return refused(std::string(name) + " takes no value");
    } else if (attached) {
      value = *attached;
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      return refused(std::string(name) + " needs a value");
    }
    if (repeats == Repeats::Refused && was_given(result.given, option->name))
      return refused(std::string(name) + " is given twice");
    result.given.push_back({option->name, value});
  }
  return result;
}

}  // namespace marvok::command_line
