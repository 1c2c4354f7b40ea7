#include "web/identification_reply.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "state/windows_1252.h"

namespace marvok::web {

namespace {

constexpr std::size_t kNumberAt = 34;
constexpr std::size_t kNumberLength = 5;
constexpr std::size_t kNameAt = 40;
constexpr std::size_t kNameLength = 24;

// The five bytes as the C library's strtol reads them in base 10, or nothing
// when no digit comes.
std::optional<long> read_decimal(std::string_view field) {
  std::size_t i = 0;
  while (i < field.size() && std::isspace(static_cast<unsigned char>(field[i]))) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  long value = 0;
  bool digits = false;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
    digits = true;
  }
  if (!digits) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace

std::optional<Identification> read_identification_reply(std::span<const std::uint8_t> reply) {
  if (reply.size() < kNumberAt + kNumberLength) return std::nullopt;
  const auto* bytes = reinterpret_cast<const char*>(reply.data());
  const std::optional<long> number = read_decimal({bytes + kNumberAt, kNumberLength});
  if (!number) return std::nullopt;

  Identification identification;
  identification.member_id = static_cast<std::uint16_t>(static_cast<unsigned long>(*number) & 0xFFFF);
  if (reply.size() > kNameAt) {
    const std::string_view name(bytes + kNameAt, std::min(kNameLength, reply.size() - kNameAt));
    identification.name = std::string(name.substr(0, name.find('\0')));
  }
  return identification;
}

void apply_identification(const Identification& identification, IdentityState& identity, DisplayState& display) {
  identity.set_member_id(identification.member_id);
  identity.MemberName.set(identification.name);
  display.StatusText.set(u"Bonjour " + from_windows_1252(identification.name) +
                         u".  Sois le bienvenu sur notre réseau !");
}

}  // namespace marvok::web
