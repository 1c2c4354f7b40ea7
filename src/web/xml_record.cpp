#include "web/xml_record.h"

#include <algorithm>
#include <string>

namespace marvok::web {

namespace {

constexpr std::string_view kEAcute = "&#xE9;";
constexpr char kEAcuteUtf8[] = {static_cast<char>(0xC3), static_cast<char>(0xA9)};

}  // namespace

bool extract_tag(std::string_view document, std::string_view name, std::span<char> destination) {
  const std::string opening = "<" + std::string(name) + ">";
  const std::string closing = "</" + std::string(name) + ">";
  const std::size_t open_at = document.find(opening);
  if (open_at == std::string_view::npos) return false;
  const std::size_t content_at = open_at + opening.size();
  const std::size_t close_at = document.find(closing, content_at);
  if (close_at == std::string_view::npos) return false;
  const std::size_t length = close_at - content_at;
  if (length >= destination.size()) return false;
  std::copy_n(document.begin() + static_cast<std::ptrdiff_t>(content_at), length, destination.begin());
  destination[length] = '\0';
  return true;
}

void decode_entities(std::span<char> text) {
  const auto end = std::find(text.begin(), text.end(), '\0');
  const std::string_view source(text.data(), static_cast<std::size_t>(end - text.begin()));
  std::size_t write = 0;
  for (std::size_t read = 0; read < source.size();) {
    if (source.substr(read, kEAcute.size()) == kEAcute) {
      text[write++] = kEAcuteUtf8[0];
      text[write++] = kEAcuteUtf8[1];
      read += kEAcute.size();
    } else {
      text[write++] = source[read++];
    }
  }
  if (write < text.size()) text[write] = '\0';
}

void read_text_field(std::string_view document, std::string_view name, std::span<char> field) {
  if (field.empty()) return;
  extract_tag(document, name, field);
  field.back() = '\0';
  decode_entities(field);
}

}  // namespace marvok::web
