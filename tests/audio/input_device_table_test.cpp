#include "audio/input_device_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marvok {
namespace {

using Table = std::array<InputDeviceEntry, kInputDeviceSlots>;

std::u16string icon_of(int index) { return u"icon-" + std::u16string(1, static_cast<char16_t>(u'A' + index)); }

// Endpoint j is names[j] with icon_of(j); asking past the end fails. `asked` notes how far the asking went.
EndpointDescriber endpoints(std::vector<std::u16string> names, int* asked = nullptr) {
  return [names = std::move(names), asked](int index, platform::DeviceDescription& description) {
    if (asked) *asked = std::max(*asked, index + 1);
    if (static_cast<std::size_t>(index) >= names.size()) return platform::kEndpointFailed;
    description.name = names[static_cast<std::size_t>(index)];
    description.icon_path = icon_of(index);
    return platform::kEndpointOk;
  };
}

TEST(InputDeviceTableTest, MatchesEachDeviceToTheFirstEndpointAgreeingOverTheShorterName) {
  const std::u16string long_name = u"Microphone (USB Audio Device with a long name)";
  const struct {
    std::vector<std::u16string> devices, endpoints;
    std::vector<int> matched;  // the endpoint of each device, or -1
  } cases[] = {
      {{u"Headset", u"Webcam"}, {u"Webcam (front)", u"Headset", u"Headset"}, {1, 0}},
      {{long_name.substr(0, 31)}, {u"Line", long_name}, {1}},  // as capture cuts device names
      {{u"Headset Microphone"}, {u"Headset"}, {0}},
      {{u"headset"}, {u"Headset"}, {-1}},
      {{u"Headset"}, {}, {-1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    Table table{};
    refresh_input_device_table(table, c.devices, endpoints(c.endpoints));
    for (std::size_t i = 0; i < c.devices.size(); ++i) {
      const int j = c.matched[i];
      EXPECT_EQ(table[i].endpoint_index, j);
      EXPECT_EQ(table[i].endpoint_name, j < 0 ? u"Non trouvée" : c.endpoints[static_cast<std::size_t>(j)]);
      EXPECT_EQ(table[i].icon_path, j < 0 ? u"" : icon_of(j));
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
