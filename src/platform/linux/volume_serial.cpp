#include "platform/volume_serial.h"

#include <sys/stat.h>
#include <sys/statfs.h>

#include <cctype>
#include <cstring>
#include <filesystem>

namespace marvok::platform {

namespace {

constexpr char kSystemDirectory[] = "/usr/bin";
constexpr char kUuidLinks[] = "/dev/disk/by-uuid";

std::optional<dev_t> device_of(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return info.st_dev;
}

std::optional<std::uint32_t> serial_from_uuid_links(dev_t device) {
  std::error_code error;
  for (const auto& link : std::filesystem::directory_iterator(kUuidLinks, error)) {
    struct stat target {};
    if (::stat(link.path().c_str(), &target) != 0 || !S_ISBLK(target.st_mode)) continue;
    if (target.st_rdev == device) return serial_from_uuid_text(link.path().filename().string());
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> serial_from_uuid_text(const std::string& uuid) {
  std::uint32_t serial = 0;
  int digits = 0;
  for (char c : uuid) {
    if (c == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const int value = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
    serial = serial << 4 | static_cast<std::uint32_t>(value);
    if (++digits == 8) return serial;
  }
  return std::nullopt;
}

std::optional<std::string> SystemVolumeSerial::system_root() {
  // The mount point is the highest ancestor of the system directory that is
  // still on the same filesystem.
  const std::optional<dev_t> device = device_of(kSystemDirectory);
  if (!device) return std::nullopt;
  std::filesystem::path root = kSystemDirectory;
  while (root.has_parent_path() && root.parent_path() != root && device_of(root.parent_path()) == device)
    root = root.parent_path();
  return root.string();
}

std::optional<std::uint32_t> SystemVolumeSerial::volume_serial(const std::string& root) {
  const std::optional<dev_t> device = device_of(root);
  if (!device) return std::nullopt;
  if (auto serial = serial_from_uuid_links(*device)) return serial;

  struct statfs info {};
  if (::statfs(root.c_str(), &info) != 0) return std::nullopt;
  int halves[2];
  static_assert(sizeof halves == sizeof info.f_fsid);
  std::memcpy(halves, &info.f_fsid, sizeof halves);
  if (halves[0] == 0 && halves[1] == 0) return std::nullopt;
  return static_cast<std::uint32_t>(halves[0]);
}

}  // namespace marvok::platform
