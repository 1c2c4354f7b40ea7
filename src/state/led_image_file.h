#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace marvok {

inline constexpr char kLedImageFileName[] = "mini_leds.bmf";

// The status-light image file: a little-endian entry count, up to 20 directory
// entries of 40 bytes (a 32-byte NUL-terminated name, the absolute offset and
// the size of a blob), then the blobs, each a complete BMP file.
class LedImageFile {
 public:
  static constexpr std::uint32_t kMaxEntries = 20;
  static constexpr std::size_t kEntrySize = 40;
  static constexpr std::size_t kNameSize = 32;
  // Bigger files are not status-light images; they are not read at all.
  static constexpr std::size_t kMaxFileSize = 16u << 20;

  // Reads the directory of the file's bytes. Nothing when the file is to be
  // ignored: too short to hold its count, or announcing more than 20 entries.
  // Entries cut short by the end of the file are left out.
  static std::optional<LedImageFile> parse(std::vector<std::uint8_t> bytes);

  // Reads and parses a file; nothing when it cannot be read or is ignored.
  static std::optional<LedImageFile> load(const std::string& path);

  // The BMP blob stored under `name`; nothing when no entry has that name, or
  // when the entry's blob lies outside the file or does not hold a BMP header.
  std::optional<std::span<const std::uint8_t>> find(std::string_view name) const;

  std::size_t entry_count() const { return entries_.size(); }

 private:
  struct Entry {
    std::string name;  // empty when the stored name has no terminator
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
  };

  std::vector<std::uint8_t> bytes_;
  std::vector<Entry> entries_;
};

// True when the bytes start with a BMP file header and an information header
// that both fit, and the pixel data offset points inside the bytes after them.
bool looks_like_bmp(std::span<const std::uint8_t> blob);

}  // namespace marvok
