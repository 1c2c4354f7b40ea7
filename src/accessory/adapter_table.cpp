#include "accessory/adapter_table.h"

namespace marvok::accessory {

std::optional<std::size_t> match_adapter(std::string_view hardware_id) {
  for (std::size_t row = 0; row < AdapterTable.size(); ++row) {
    const AdapterRow& adapter = AdapterTable[row];
    if (hardware_id.find(adapter.vendor) != std::string_view::npos &&
        hardware_id.find(adapter.product) != std::string_view::npos)
      return row;
  }
  return std::nullopt;
}

std::optional<std::string> find_accessory_port(std::span<const platform::SerialPortEntry> ports) {
  for (const platform::SerialPortEntry& port : ports)
    if (match_adapter(port.hardware_id) && !port.port_name.empty()) return port.port_name;
  return std::nullopt;
}

}  // namespace marvok::accessory
