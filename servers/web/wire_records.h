#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace marvok::web_server {

// The two binary records the client posts. Integers are 32-bit little-endian.

// /users/params.php: kind (always 1), red, green, blue, member number.
inline constexpr std::size_t kParametersRecordBytes = 20;

struct BackgroundChoice {
  std::int32_t member_number = 0;
  std::uint32_t background = 0;  // COLORREF, 0x00BBGGRR
};

// Nothing when the record has the wrong size or kind, or a colour outside 0..255.
// The member number is passed on as sent; whether it exists is the store's call.
std::optional<BackgroundChoice> read_parameters_record(std::string_view body);

// /echange/pc_img_share_post.php: the data area, then the file name
// (Windows-1252, NUL-padded), then the file size, the name's length and the
// channel. The client sends the whole record whatever the file's size.
inline constexpr std::size_t kUploadDataBytes = 10'000'000;
inline constexpr std::size_t kUploadNameBytes = 256;
inline constexpr std::size_t kUploadRecordBytes = kUploadDataBytes + kUploadNameBytes + 12;
inline constexpr int kChannelCount = 11;

struct SharedUpload {
  int channel = 0;
  std::string_view data;  // views into the record
  std::string_view name;
};

// For a record of exactly kUploadRecordBytes; nothing when its size, name
// length or channel is out of range.
std::optional<SharedUpload> read_upload_record(std::string_view record);

}  // namespace marvok::web_server
