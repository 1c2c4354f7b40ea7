#include "screen/input_device_list.h"

#include <map>
#include <memory>
#include <utility>

namespace marvok::screen {

namespace {

constexpr Point kInputDeviceWindowOffset{-300, 200};
constexpr Point kFirstDeviceButton{10, 10};
constexpr int kDeviceButtonStep = 30;
constexpr Size kDeviceButtonSize{350, 25};

// The same endpoint is asked about once for every device that is still
// unmatched: each answer is kept for the one refresh.
EndpointDescriber remembering(const EndpointDescriber& describe) {
  auto answers = std::make_shared<std::map<int, std::pair<int, platform::DeviceDescription>>>();
  return [describe, answers](int index, platform::DeviceDescription& description) {
    auto known = answers->find(index);
    if (known == answers->end()) {
      std::pair<int, platform::DeviceDescription> answer{platform::kEndpointFailed, {}};
      if (describe) answer.first = describe(index, answer.second);
      known = answers->emplace(index, std::move(answer)).first;
    }
    description = known->second.second;
    return known->second.first;
  };
}

}  // namespace

Point input_device_window_position(const Rect& main_frame) { return main_frame.top_left() + kInputDeviceWindowOffset; }

void refresh_input_devices(DeviceState& devices, const InputDeviceSources& sources) {
  const std::vector<std::u16string> names =
      sources.list_devices ? sources.list_devices() : std::vector<std::u16string>{};
  refresh_input_device_table(devices.InputDeviceTable, names, remembering(sources.describe));
}

std::vector<InputDeviceChoice> input_device_choices(const DeviceState& devices) {
  const std::int32_t selected = devices.SelectedInputDevice.load(std::memory_order_relaxed);
  std::vector<InputDeviceChoice> choices;
  for (int i = 0; i < kInputDeviceSlots; ++i) {
    choices.push_back({devices.InputDeviceTable[static_cast<std::size_t>(i)].endpoint_name,
                       {kFirstDeviceButton + Point{0, kDeviceButtonStep * i}, kDeviceButtonSize},
                       i == selected});
  }
  return choices;
}

void choose_input_device(DeviceState& devices, int k) {
  if (k < 0 || k >= kInputDeviceSlots) return;
  devices.SelectedInputDevice.store(devices.InputDeviceTable[static_cast<std::size_t>(k)].device_id,
                                    std::memory_order_relaxed);
}

}  // namespace marvok::screen
