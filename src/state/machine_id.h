#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace marvok {

// Where the system volume's serial number comes from; tests substitute their own.
class VolumeSerialSource {
 public:
  virtual ~VolumeSerialSource() = default;
  // The root of the volume that holds the system, or nothing when it cannot be found.
  virtual std::optional<std::string> system_root() = 0;
  // The 32-bit serial number of the volume at that root, or nothing when unreadable.
  virtual std::optional<std::uint32_t> volume_serial(const std::string& root) = 0;
};

inline constexpr std::uint64_t kNoVolumeInfoMachineId = 9999999999999999ULL;
inline constexpr std::uint64_t kNoSystemRootMachineId = 8888888888888888ULL;

// The sixteen-digit identifier of this PC: the volume serial zero-padded to
// sixteen decimal digits, or a fixed number when the serial cannot be had.
std::array<char, 20> build_machine_id(VolumeSerialSource& source);

}  // namespace marvok
