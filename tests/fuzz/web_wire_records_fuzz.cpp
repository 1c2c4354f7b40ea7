// The web service's readers of what clients post, and the documents it
// writes from members' texts, read back with the client's own readers.
// The first byte picks the reader; the rest is its input.
#include <QString>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "card_documents.h"
#include "command_line.h"
#include "entity_decoding.h"
#include "identification_reply.h"
#include "member_card.h"
#include "state/windows_1252.h"
#include "web/identification_reply.h"
#include "web/member_card.h"
#include "web/parameters_record.h"
#include "web/xml_record.h"
#include "wire_records.h"

namespace {

using namespace marvok::web_server;

std::uint32_t u32_at(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    if (at + i < bytes.size()) value |= std::uint32_t{bytes[at + i]} << (8 * i);
  return value;
}

void check_parameters_record(std::string_view body) {
  const auto choice = read_parameters_record(body);
  if (!choice) return;
  if (body.size() != kParametersRecordBytes || choice->background > 0xFFFFFF) __builtin_trap();
  // What the client builds for that colour and member reads back the same.
  const auto again =
      marvok::web::build_parameters_record(choice->background, static_cast<std::uint16_t>(choice->member_number));
  const auto read_again =
      read_parameters_record(std::string_view(reinterpret_cast<const char*>(again.data()), again.size()));
  if (!read_again || read_again->background != choice->background ||
      read_again->member_number != (choice->member_number & 0xFFFF))
    __builtin_trap();
}

// The record is always the full size: the input goes at the start of the
// data area and of the name area, and its last 12 bytes are the fields.
void check_upload_record(std::span<const std::uint8_t> input) {
  static std::string record(kUploadRecordBytes, '\0');
  static std::size_t written = 0;
  std::fill_n(record.begin(), written, '\0');
  std::fill_n(record.begin() + kUploadDataBytes, kUploadNameBytes, '\0');
  written = input.size();
  std::copy(input.begin(), input.end(), record.begin());
  std::copy_n(input.begin(), std::min(input.size(), kUploadNameBytes), record.begin() + kUploadDataBytes);
  std::array<std::uint8_t, 12> fields{};
  if (input.size() >= 12) std::copy(input.end() - 12, input.end(), fields.begin());
  std::copy(fields.begin(), fields.end(), record.end() - 12);

  const auto upload = read_upload_record(record);
  const std::uint32_t size = u32_at(fields, 0);
  const std::uint32_t name_length = u32_at(fields, 4);
  const std::uint32_t channel = u32_at(fields, 8);
  const bool valid = size >= 1 && size <= kUploadDataBytes && name_length < kUploadNameBytes && channel < 11;
  if (upload.has_value() != valid) __builtin_trap();
  if (!upload) return;
  if (upload->data.data() != record.data() || upload->data.size() != size) __builtin_trap();
  if (upload->name.data() != record.data() + kUploadDataBytes || upload->name.size() != name_length) __builtin_trap();
  if (upload->channel != static_cast<int>(channel)) __builtin_trap();
  if (read_upload_record(std::string_view(record).substr(1))) __builtin_trap();
}

// Texts the operator's checks let through reach the client whole, in their
// own field, whatever they hold: the input is split into the seven fields at
// each 0xFF.
void check_card_document(std::string_view input) {
  Member member = default_member(1);
  for (std::size_t i = 0; i < kCardFieldCount; ++i) {
    const std::size_t end = std::min(input.find('\xFF'), input.size());
    member.card[i] = std::string(input.substr(0, end));
    input.remove_prefix(std::min(end + 1, input.size()));
  }
  for (const CardFieldInfo& info : kCardFields) {
    const std::string& text = member.field(info.field);
    const auto problem = card_text_problem(info.field, text);
    const bool fits = escape_card_text(text).size() < info.capacity;
    if (!text_problem(text) && problem.has_value() == fits) __builtin_trap();
    if (problem) member.field(info.field) = "";
  }
  const std::string document = client_document(member);
  marvok::web::MemberCard card;
  marvok::web::fill_member_card(card, document);
  const std::array<std::string_view, kCardFieldCount> read = {
      marvok::web::field_text(card.first_name), marvok::web::field_text(card.nickname),
      marvok::web::field_text(card.city),       marvok::web::field_text(card.phrase),
      marvok::web::field_text(card.day),        marvok::web::field_text(card.email),
      marvok::web::field_text(card.folder)};
  for (std::size_t i = 0; i < kCardFieldCount; ++i)
    if (read[i] != marvok::fuzz::with_e_acute_decoded(escape_card_text(member.card[i]))) __builtin_trap();
}

// The reply for any number and name reads back as the client reads it.
void check_identification_reply(std::span<const std::uint8_t> input) {
  if (input.size() < 2) return;
  const int number = 1 + static_cast<int>(u32_at(input, 0) & 0xFFFF) % 65535;
  const std::string_view name(reinterpret_cast<const char*>(input.data()) + 2, input.size() - 2);
  const IdentificationReply reply = identification_reply(number, name);
  const auto identification = marvok::web::read_identification_reply(
      std::span(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size()));
  if (!identification || identification->member_id != static_cast<std::uint16_t>(number)) __builtin_trap();
  const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  const std::string code_page = marvok::to_windows_1252(text.toStdU16String()).substr(0, kDisplayNameBytes);
  if (identification->name != code_page.substr(0, code_page.find('\0'))) __builtin_trap();
}

void check_request_values(std::string_view text) {
  if (is_machine_identifier(text)) {
    if (text.empty() || text.size() > 19 || !std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; }))
      __builtin_trap();
  }
  if (const auto number = parse_member_number(text))
    if (*number < kFirstMemberNumber || *number > kLastMemberNumber) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> input(data + 1, size - 1);
  const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
  switch (data[0] % 5) {
    case 0: check_parameters_record(text); break;
    case 1: check_upload_record(input); break;
    case 2: check_card_document(text); break;
    case 3: check_identification_reply(input); break;
    default: check_request_values(text); break;
  }
  return 0;
}
