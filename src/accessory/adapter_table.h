#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace marvok::accessory {

// A USB serial adapter the accessory may be built on: both texts must occur
// in the port's hardware identifier.
struct AdapterRow {
  std::string_view vendor;
  std::string_view product;
};

// Tried in this order; the first row that matches wins.
inline constexpr std::array<AdapterRow, 19> AdapterTable = {{
    {"VID_0403", "PID_6001"}, {"VID_0403", "PID_6010"}, {"VID_0403", "PID_6011"}, {"VID_0403", "PID_6014"},
    {"VID_0403", "PID_6015"}, {"VID_10C4", "PID_EA60"}, {"VID_10C4", "PID_EA70"}, {"VID_10C4", "PID_EA71"},
    {"VID_067B", "PID_2303"}, {"VID_067B", "PID_23A3"}, {"VID_067B", "PID_23B3"}, {"VID_067B", "PID_23C3"},
    {"VID_067B", "PID_23D3"}, {"VID_067B", "PID_23E3"}, {"VID_067B", "PID_23F3"}, {"VID_1A86", "PID_7523"},
    {"VID_1A86", "PID_5523"}, {"VID_1782", "PID_4D10"}, {"VID_1782", "PID_4D12"},
}};

// The index of the first row whose two texts both occur, case for case, in
// the identifier; nothing when no row does.
std::optional<std::size_t> match_adapter(std::string_view hardware_id);

// The port name of the first listed port that matches a row and has a name.
std::optional<std::string> find_accessory_port(std::span<const platform::SerialPortEntry> ports);

}  // namespace marvok::accessory
