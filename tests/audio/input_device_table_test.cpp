#include "audio/input_device_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marvok {
namespace {

using Table = std::array<InputDeviceEntry, kInputDeviceSlots>;

// Endpoint j is names[j] with icon "icon-j"; asking past the end fails.
EndpointDescriber endpoints(std::vector<std::u16string> names, int* asked = nullptr) {
  return [names = std::move(names), asked](int index, platform::DeviceDescription& description) {
    if (asked) *asked = std::max(*asked, index + 1);
    if (static_cast<std::size_t>(index) >= names.size()) return platform::kEndpointFailed;
    description.name = names[static_cast<std::size_t>(index)];
    description.icon_path = u"icon-" + std::u16string(1, static_cast<char16_t>(u'0' + index));
    return platform::kEndpointOk;
  };
}

TEST(InputDeviceTableTest, MatchesEachDeviceToTheFirstEndpointAgreeingOverTheShorterName) {
  const std::u16string long_name = u"Microphone (USB Audio Device with a long name)";
  const std::u16string driver = u"Windows Driver", none = u"Non trouvée";
  const struct {
    const char* name;
    std::vector<std::u16string> devices, endpoints;
    // Endpoint index and caption of entries 0 and 1; the others stay as they start.
    std::vector<std::pair<int, std::u16string>> expected;
  } cases[] = {
      {"two microphones",
       {u"Headset", u"Webcam"},
       {u"Webcam (front)", u"Headset"},
       {{1, u"Headset"}, {0, u"Webcam (front)"}}},
      {"device name cut to 31", {long_name.substr(0, 31)}, {u"Line", long_name}, {{1, long_name}, {-1, driver}}},
      {"device name longer", {u"Headset Microphone"}, {u"Headset"}, {{0, u"Headset"}, {-1, driver}}},
      {"no endpoints", {u"Headset", u"Webcam"}, {}, {{-1, none}, {-1, none}}},
      {"case differs", {u"headset"}, {u"Headset"}, {{-1, none}, {-1, driver}}},
      {"no devices", {}, {u"Headset"}, {{-1, driver}, {-1, driver}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Table table{};
    refresh_input_device_table(table, c.devices, endpoints(c.endpoints));
    for (std::size_t i = 0; i < table.size(); ++i) {
      SCOPED_TRACE(i);
      const auto& [index, caption] = i < 2 ? c.expected[i] : std::pair<int, std::u16string>{-1, driver};
      EXPECT_EQ(table[i].endpoint_index, index);
      EXPECT_EQ(table[i].endpoint_name, caption);
      EXPECT_EQ(table[i].device_id, i < c.devices.size() ? static_cast<int>(i) : -1);
      EXPECT_EQ(table[i].device_name, i < c.devices.size() ? c.devices[i] : driver);
      EXPECT_EQ(table[i].icon_path,
                index < 0 ? u"" : u"icon-" + std::u16string(1, static_cast<char16_t>(u'0' + index)));
    }
  }
}

TEST(InputDeviceTableTest, FifteenDevicesAtMostFieldsCutAndOtherEntriesKept) {
  Table table{};
  table[14] = {7, 3, u"old-icon", u"Old endpoint", u"Old device"};
  const std::u16string huge(300, u'x');
  int asked = 0;
  refresh_input_device_table(table, std::vector<std::u16string>(14, huge), endpoints({huge + u"y"}, &asked));
  EXPECT_EQ(table[13].device_name, huge.substr(0, 255));
  EXPECT_EQ(table[13].endpoint_name, huge.substr(0, 255));
  EXPECT_EQ(table[13].endpoint_index, 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(table[14].device_id, 7);
  EXPECT_EQ(table[14].endpoint_name, u"Old endpoint");

  // Neither device 15 nor endpoint 15 (which would match device 0) is looked at.
  std::vector<std::u16string> names(15, u"Other");
  names.push_back(u"Mic");
  refresh_input_device_table(table, std::vector<std::u16string>(20, u"Mic"), endpoints(names, &asked));
  EXPECT_EQ(asked, 15);
  EXPECT_EQ(table[14].device_id, 14);
  EXPECT_EQ(table[14].endpoint_name, u"Non trouvée");
  EXPECT_EQ(table[14].icon_path, u"old-icon");  // only a match sets the icon

  refresh_input_device_table(table, {u"Headset"}, EndpointDescriber());
  EXPECT_EQ(table[0].endpoint_name, u"Non trouvée");
}

}  // namespace
}  // namespace marvok
