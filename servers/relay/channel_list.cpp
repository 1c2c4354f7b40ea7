#include "channel_list.h"

#include "number_argument.h"

namespace marvok::relay_server {

namespace {

std::optional<int> parse_channel(std::string_view text) {
  // No sign or leading '+': "-1" would otherwise read as a range.
  if (!command_line::all_digits(text)) return std::nullopt;
  return command_line::parse_number<int>(text, 0, relay::kChannelCount - 1);
}

}  // namespace

std::optional<ChannelSet> parse_channel_list(std::string_view text) {
  ChannelSet channels;
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    const std::size_t dash = item.find('-');
    const auto first = parse_channel(item.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first : parse_channel(item.substr(dash + 1));
    if (!first || !last || *first > *last) return std::nullopt;
    for (int channel = *first; channel <= *last; ++channel) {
      if (channels.test(static_cast<std::size_t>(channel))) return std::nullopt;
      channels.set(static_cast<std::size_t>(channel));
    }
    if (comma == std::string_view::npos) return channels;
    text.remove_prefix(comma + 1);
  }
}

std::string format_channel_list(const ChannelSet& channels, int offset) {
  std::string text;
  std::size_t first = 0;
  while (first < channels.size()) {
    if (!channels.test(first)) {
      ++first;
      continue;
    }
    std::size_t last = first;
    while (last + 1 < channels.size() && channels.test(last + 1)) ++last;
    text += (text.empty() ? "" : ",") + std::to_string(static_cast<int>(first) + offset);
    if (last > first) text += "-" + std::to_string(static_cast<int>(last) + offset);
    first = last + 1;
  }
  return text;
}

}  // namespace marvok::relay_server
