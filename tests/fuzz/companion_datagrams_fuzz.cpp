// Both ends of the link with the speech companion read datagrams anyone on
// the machine may send. The client moves its talk key only for a report
// starting 'T' or 'R'; the companion reads a request whole into well-formed
// UTF-8 text, one character per byte, with no control character left.
// The first byte picks the end; the rest is the datagram.
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "companion/companion_receiver.h"
#include "companion_server.h"
#include "state/talk_state.h"
#include "state/windows_1252.h"

namespace {

using marvok::TalkValue;
using marvok::companion::CompanionLink;

// The receiver's buffer: a longer report is cut to it.
constexpr std::size_t kReportBuffer = 1024;

void check_client_end(std::span<const std::uint8_t> datagram) {
  // The sockets drop empty datagrams.
  if (datagram.empty()) return;
  const auto received = datagram.first(std::min(datagram.size(), kReportBuffer));
  marvok::TalkState talk;
  talk.set_key(TalkValue::Pressed);
  const auto key = marvok::companion::reported_key(received[0]);
  if (key) talk.set_key(*key);
  const TalkValue expected = received[0] == 'R' ? TalkValue::Released : TalkValue::Pressed;
  if (key.has_value() != (received[0] == 'T' || received[0] == 'R') || talk.key() != expected) __builtin_trap();
}

void check_companion_end(std::span<const std::uint8_t> datagram) {
  using Kind = marvok::talksrv::Request::Kind;
  const marvok::talksrv::Request request = marvok::talksrv::read_request(datagram);
  const Kind expected = datagram.empty()                       ? Kind::Ignore
                        : datagram[0] == CompanionLink::kSpeak ? Kind::Speak
                        : datagram[0] == CompanionLink::kQuit  ? Kind::Quit
                                                               : Kind::Ignore;
  if (request.kind != expected) __builtin_trap();
  if (request.kind != Kind::Speak) {
    if (!request.utf8_text.empty()) __builtin_trap();
    return;
  }
  const QString text = QString::fromUtf8(request.utf8_text.data(), static_cast<qsizetype>(request.utf8_text.size()));
  // Valid UTF-8 comes back byte for byte; every byte read is one character of 16 bits.
  if (text.toUtf8().toStdString() != request.utf8_text) __builtin_trap();
  if (static_cast<std::size_t>(text.size()) != datagram.size() - 1) __builtin_trap();
  if (std::ranges::any_of(text, [](QChar c) { return c.unicode() < u' '; })) __builtin_trap();
}

// The code page both ways: every byte it defines comes back as it went, an
// unused one as '?'; the client's texts keep one byte per character.
void check_code_page(std::span<const std::uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::u16string decoded = marvok::from_windows_1252(text);
  if (decoded.size() != text.size()) __builtin_trap();
  const std::string again = marvok::to_windows_1252(decoded);
  if (again.size() != text.size()) __builtin_trap();
  for (std::size_t i = 0; i < text.size(); ++i)
    if (again[i] != text[i] && !(decoded[i] == u'\uFFFD' && again[i] == '?')) __builtin_trap();

  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  const std::string encoded = marvok::to_windows_1252(units);
  if (encoded.size() > units.size()) __builtin_trap();
  // A surrogate pair is one character, a lone surrogate one of its own.
  std::size_t characters = 0;
  for (std::size_t i = 0; i < units.size(); ++i, ++characters) {
    if (characters >= encoded.size()) __builtin_trap();
    const bool pair = QChar::isHighSurrogate(units[i]) && i + 1 < units.size() && QChar::isLowSurrogate(units[i + 1]);
    if (pair) ++i;
    const bool latin = !pair && (units[i] < 0x80 || (units[i] >= 0xA0 && units[i] <= 0xFF));
    if (latin && static_cast<std::uint8_t>(encoded[characters]) != units[i]) __builtin_trap();
  }
  if (encoded.size() != characters) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> datagram(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0: check_client_end(datagram); break;
    case 1: check_companion_end(datagram); break;
    default: check_code_page(datagram); break;
  }
  return 0;
}
