#include "key_names.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

namespace marvok::talksrv {
namespace {

TEST(KeyNamesTest, FindsTheVirtualKeyOfEachLinuxName) {
  const std::vector<std::pair<std::string_view, std::optional<std::uint8_t>>> cases = {
      {"Pause", VK_PAUSE},
      {"Scroll_Lock", VK_SCROLL},
      {"F1", VK_F1},
      {"F12", VK_F12},
      {"F24", VK_F24},
      {"Page_Up", VK_PRIOR},
      {"Control_R", VK_RCONTROL},
      {"a", 'A'},
      {"Z", 'Z'},
      {"7", '7'},
      {"KP_0", VK_NUMPAD0},
      {"KP_9", VK_NUMPAD9},
      // X names are exact, and these have no key.
      {"pause", std::nullopt},
      {"F0", std::nullopt},
      {"F25", std::nullopt},
      {"F01", std::nullopt},
      {"F1x", std::nullopt},
      {"KP_10", std::nullopt},
      {"NoSuchKey", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [name, code] : cases) EXPECT_EQ(virtual_key_for(name), code) << name;
}

}  // namespace
}  // namespace marvok::talksrv
