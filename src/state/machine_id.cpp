#include "state/machine_id.h"

#include <cinttypes>
#include <cstdio>

namespace marvok {

namespace {

std::array<char, 20> format_sixteen_digits(std::uint64_t number) {
  std::array<char, 20> id{};
  std::snprintf(id.data(), id.size(), "%016" PRIu64, number);
  return id;
}

}  // namespace

std::array<char, 20> build_machine_id(VolumeSerialSource& source) {
  const std::optional<std::string> root = source.system_root();
  if (!root) return format_sixteen_digits(kNoSystemRootMachineId);
  const std::optional<std::uint32_t> serial = source.volume_serial(*root);
  if (!serial) return format_sixteen_digits(kNoVolumeInfoMachineId);
  return format_sixteen_digits(*serial);
}

}  // namespace marvok
