#include "state/led_image_file.h"

#include <algorithm>
#include <fstream>

#include "state/little_endian.h"

namespace marvok {

namespace {

constexpr std::size_t kBmpFileHeaderSize = 14;
constexpr std::uint32_t kSmallestBmpInfoHeader = 12;

}  // namespace

bool looks_like_bmp(std::span<const std::uint8_t> blob) {
  if (blob.size() < kBmpFileHeaderSize + kSmallestBmpInfoHeader) return false;
  if (blob[0] != 'B' || blob[1] != 'M') return false;
  const std::uint64_t info_header_size = read_u32_le(blob, kBmpFileHeaderSize);
  const std::uint64_t pixel_offset = read_u32_le(blob, 10);
  if (info_header_size < kSmallestBmpInfoHeader) return false;
  if (kBmpFileHeaderSize + info_header_size > blob.size()) return false;
  return pixel_offset >= kBmpFileHeaderSize + info_header_size && pixel_offset < blob.size();
}

std::optional<LedImageFile> LedImageFile::parse(std::vector<std::uint8_t> bytes) {
  if (bytes.size() < 4) return std::nullopt;
  const std::uint32_t count = read_u32_le(bytes, 0);
  if (count > kMaxEntries) return std::nullopt;

  LedImageFile file;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = 4 + i * kEntrySize;
    if (at + kEntrySize > bytes.size()) break;
    Entry entry;
    const auto name_begin = bytes.begin() + static_cast<std::ptrdiff_t>(at);
    const auto name_end = name_begin + kNameSize;
    const auto terminator = std::find(name_begin, name_end, std::uint8_t{0});
    if (terminator != name_end) entry.name.assign(name_begin, terminator);
    entry.offset = read_u32_le(bytes, at + kNameSize);
    entry.size = read_u32_le(bytes, at + kNameSize + 4);
    file.entries_.push_back(std::move(entry));
  }
  file.bytes_ = std::move(bytes);
  return file;
}

std::optional<LedImageFile> LedImageFile::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    if (bytes.size() > kMaxFileSize) return std::nullopt;
  }
  return parse(std::move(bytes));
}

std::optional<std::span<const std::uint8_t>> LedImageFile::find(std::string_view name) const {
  const auto entry =
      std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return !e.name.empty() && e.name == name; });
  if (entry == entries_.end()) return std::nullopt;
  const std::uint64_t end = std::uint64_t{entry->offset} + entry->size;
  if (end > bytes_.size()) return std::nullopt;
  const std::span<const std::uint8_t> blob(bytes_.data() + entry->offset, entry->size);
  if (!looks_like_bmp(blob)) return std::nullopt;
  return blob;
}

}  // namespace marvok
