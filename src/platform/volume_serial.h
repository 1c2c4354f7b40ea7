#pragma once

#include "state/machine_id.h"

namespace marvok::platform {

// The serial of the filesystem that holds the system programs: the first 32
// bits of its UUID, or the filesystem's own volume identifier when it has no
// UUID the system can name.
class SystemVolumeSerial final : public VolumeSerialSource {
 public:
  std::optional<std::string> system_root() override;
  std::optional<std::uint32_t> volume_serial(const std::string& root) override;
};

// The first 32 bits of a filesystem UUID in its usual text form
// ("1b4e28ba-2fa1-...", or "ABCD-1234" for FAT); nothing when it has fewer
// than eight hexadecimal digits.
std::optional<std::uint32_t> serial_from_uuid_text(const std::string& uuid);

}  // namespace marvok::platform
