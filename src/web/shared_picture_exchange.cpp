#include "web/shared_picture_exchange.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "state/little_endian.h"
#include "state/windows_1252.h"
#include "web/picture_decoding.h"
#include "web/request_paths.h"

namespace marvok::web {

namespace {

// The longest path, in the members' code page, that a picture may be sent from.
constexpr std::size_t kMaxPathBytes = 200;
constexpr std::int32_t kUploadFailed = -1;
constexpr int kExchangeGetKind = 1;
constexpr int kExchangePostKind = 3;

}  // namespace

std::string upload_size_warning() {
  return "Fichier superieur a la taille maximale du myRingBuffer\nMaximum =  " + std::to_string(kUploadDataBytes) +
         " octets";
}

SharedPictureExchange::SharedPictureExchange(WebClient& web)
    : web_(web), record_(allocate_zeroed_bytes(kUploadRecordBytes)) {}

std::optional<Picture> SharedPictureExchange::download_shared_picture(int group_index) {
  const LockedResponse response = web_.download_web_file(WebFolder::Exchange, group_index, kExchangeGetKind);
  if (response.result == 0) return std::nullopt;
  return image_to_bitmap(response.result, *response.buffer);
}

void SharedPictureExchange::mark_refused() {
  write_u32_le({record_.get(), kUploadRecordBytes}, kUploadSizeAt, static_cast<std::uint32_t>(-1));
}

std::int32_t SharedPictureExchange::upload_shared_image(int group_index, const FileChooser& choose_file,
                                                        const SizeWarning& warn) {
  const std::span<std::uint8_t> record(record_.get(), kUploadRecordBytes);
  web_.advance_request_counter(RequestRoutine::UploadImage);
  std::optional<platform::HttpsSession> session = web_.open_upload_session();
  if (!session) return kUploadFailed;

  const std::optional<std::filesystem::path> path = choose_file ? choose_file() : std::nullopt;
  if (!path || path->empty()) return 0;
  if (to_windows_1252(path->u16string()).size() > kMaxPathBytes) {
    mark_refused();
    return kUploadFailed;
  }

  std::ifstream file(*path, std::ios::binary | std::ios::ate);
  // A file that cannot be read has no size to send; it is refused without the size warning,
  // which would tell the member something untrue.
  if (!file) {
    mark_refused();
    return kUploadFailed;
  }
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<std::uint64_t>(size) >= kUploadDataBytes) {
    if (warn) warn(upload_size_warning());
    mark_refused();
    return kUploadFailed;
  }
  file.seekg(0);
  file.read(reinterpret_cast<char*>(record.data()), size);
  const std::streamsize read = file.gcount();
  // The previous picture's bytes are not sent along with this one. Only what
  // an earlier file wrote can be other than zero: clearing just that leaves
  // the rest of the ten megabytes untouched, and so not resident.
  const auto file_end = static_cast<std::size_t>(std::max<std::streamsize>(read, 0));
  std::fill(record.begin() + static_cast<std::ptrdiff_t>(file_end),
            record.begin() + static_cast<std::ptrdiff_t>(std::max(file_end, written_end_)), 0);
  written_end_ = file_end;
  write_u32_le(record, kUploadSizeAt, static_cast<std::uint32_t>(read));
  if (read <= 0) return kUploadFailed;

  const std::string name = to_windows_1252(path->filename().u16string());
  const std::size_t name_length = std::min(name.size(), kUploadNameBytes - 1);
  std::fill_n(record.begin() + kUploadNameAt, kUploadNameBytes, 0);
  std::copy_n(name.begin(), name_length, record.begin() + kUploadNameAt);
  write_u32_le(record, kUploadNameLengthAt, static_cast<std::uint32_t>(name_length));
  write_u32_le(record, kUploadGroupAt, static_cast<std::uint32_t>(group_index));

  const auto answer =
      WebClient::post_record(*session, build_request_path(WebFolder::Exchange, 0, kExchangePostKind), record);
  if (!answer) return kUploadFailed;
  return WebClient::query_status_code(*answer);
}

}  // namespace marvok::web
