#include "wire_records.h"

namespace marvok::web_server {

namespace {

std::int32_t read_i32_le(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return static_cast<std::int32_t>(value);
}

bool is_colour_level(std::int32_t value) { return value >= 0 && value <= 255; }

}  // namespace

std::optional<BackgroundChoice> read_parameters_record(std::string_view body) {
  if (body.size() != kParametersRecordBytes || read_i32_le(body, 0) != 1) return std::nullopt;
  const std::int32_t red = read_i32_le(body, 4);
  const std::int32_t green = read_i32_le(body, 8);
  const std::int32_t blue = read_i32_le(body, 12);
  if (!is_colour_level(red) || !is_colour_level(green) || !is_colour_level(blue)) return std::nullopt;
  BackgroundChoice choice;
  choice.background =
      static_cast<std::uint32_t>(red) | static_cast<std::uint32_t>(green) << 8 | static_cast<std::uint32_t>(blue) << 16;
  choice.member_number = read_i32_le(body, 16);
  return choice;
}

std::optional<SharedUpload> read_upload_record(std::string_view record) {
  if (record.size() != kUploadRecordBytes) return std::nullopt;
  const std::size_t fields = kUploadDataBytes + kUploadNameBytes;
  const std::int32_t size = read_i32_le(record, fields);
  const std::int32_t name_length = read_i32_le(record, fields + 4);
  const std::int32_t channel = read_i32_le(record, fields + 8);
  if (size < 1 || static_cast<std::size_t>(size) > kUploadDataBytes) return std::nullopt;
  if (name_length < 0 || static_cast<std::size_t>(name_length) >= kUploadNameBytes) return std::nullopt;
  if (channel < 0 || channel >= kChannelCount) return std::nullopt;
  SharedUpload upload;
  upload.channel = channel;
  upload.data = record.substr(0, static_cast<std::size_t>(size));
  upload.name = record.substr(kUploadDataBytes, static_cast<std::size_t>(name_length));
  return upload;
}

}  // namespace marvok::web_server
