#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "state/picture.h"
#include "web/web_client.h"
#include "web/zeroed_bytes.h"

namespace marvok::web {

// The record a picture file travels in to the channel's exchange: the file's
// bytes in a 10,000,000-byte area, its name in the members' code page in 256
// bytes, then its size, the name's length and the group index as
// little-endian 32-bit numbers. Always sent whole.
inline constexpr std::size_t kUploadDataBytes = 10'000'000;
inline constexpr std::size_t kUploadNameAt = kUploadDataBytes;
inline constexpr std::size_t kUploadNameBytes = 256;
inline constexpr std::size_t kUploadSizeAt = kUploadNameAt + kUploadNameBytes;
inline constexpr std::size_t kUploadNameLengthAt = kUploadSizeAt + 4;
inline constexpr std::size_t kUploadGroupAt = kUploadNameLengthAt + 4;
inline constexpr std::size_t kUploadRecordBytes = kUploadGroupAt + 4;

// The warning for a file too large to send.
std::string upload_size_warning();

// The one picture the members of a channel share through the web service.
class SharedPictureExchange {
 public:
  // Asks the member for a picture file; nothing when the member cancels.
  using FileChooser = std::function<std::optional<std::filesystem::path>()>;
  // Tells the member, with the given text, that the file is too large.
  using SizeWarning = std::function<void(const std::string& text)>;

  explicit SharedPictureExchange(WebClient& web);

  // The channel's picture: nothing when no bytes came (an earlier picture may
  // stay on screen), otherwise what they decode to (empty when the download
  // failed or the bytes are no picture).
  std::optional<Picture> download_shared_picture(int group_index);

  // Lets the member pick a file and sends it to the channel. Returns 0 when
  // no file was picked, -1 on any failure, otherwise the answer's status.
  std::int32_t upload_shared_image(int group_index, const FileChooser& choose_file, const SizeWarning& warn);

  std::span<const std::uint8_t> upload_record() const { return {record_.get(), kUploadRecordBytes}; }

 private:
  void mark_refused();

  WebClient& web_;
  // Allocated once: every upload sends the whole record.
  ZeroedBytes record_;
  // How far files have written into the record's data area.
  std::size_t written_end_ = 0;
};

}  // namespace marvok::web
