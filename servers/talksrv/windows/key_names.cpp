#include "key_names.h"

#include <windows.h>

#include <charconv>
#include <utility>

namespace marvok::talksrv {

namespace {

// The keys a member may want for push-to-talk that have names of their own.
constexpr std::pair<std::string_view, std::uint8_t> kNamedKeys[] = {
    {"Pause", VK_PAUSE},
    {"Break", VK_CANCEL},
    {"Scroll_Lock", VK_SCROLL},
    {"Num_Lock", VK_NUMLOCK},
    {"Caps_Lock", VK_CAPITAL},
    {"Print", VK_SNAPSHOT},
    {"Insert", VK_INSERT},
    {"Delete", VK_DELETE},
    {"Home", VK_HOME},
    {"End", VK_END},
    {"Prior", VK_PRIOR},
    {"Page_Up", VK_PRIOR},
    {"Next", VK_NEXT},
    {"Page_Down", VK_NEXT},
    {"Left", VK_LEFT},
    {"Right", VK_RIGHT},
    {"Up", VK_UP},
    {"Down", VK_DOWN},
    {"Escape", VK_ESCAPE},
    {"Tab", VK_TAB},
    {"Return", VK_RETURN},
    {"BackSpace", VK_BACK},
    {"space", VK_SPACE},
    {"Menu", VK_APPS},
    {"Shift_L", VK_LSHIFT},
    {"Shift_R", VK_RSHIFT},
    {"Control_L", VK_LCONTROL},
    {"Control_R", VK_RCONTROL},
    {"Alt_L", VK_LMENU},
    {"Alt_R", VK_RMENU},
    {"Super_L", VK_LWIN},
    {"Super_R", VK_RWIN},
    {"KP_Add", VK_ADD},
    {"KP_Subtract", VK_SUBTRACT},
    {"KP_Multiply", VK_MULTIPLY},
    {"KP_Divide", VK_DIVIDE},
    {"KP_Decimal", VK_DECIMAL},
    {"XF86AudioPlay", VK_MEDIA_PLAY_PAUSE},
    {"XF86AudioStop", VK_MEDIA_STOP},
    {"XF86AudioNext", VK_MEDIA_NEXT_TRACK},
    {"XF86AudioPrev", VK_MEDIA_PREV_TRACK},
    {"XF86AudioMute", VK_VOLUME_MUTE},
    {"XF86AudioLowerVolume", VK_VOLUME_DOWN},
    {"XF86AudioRaiseVolume", VK_VOLUME_UP},
    {"XF86Mail", VK_LAUNCH_MAIL},
    {"XF86Back", VK_BROWSER_BACK},
    {"XF86Forward", VK_BROWSER_FORWARD},
    {"XF86HomePage", VK_BROWSER_HOME},
};

constexpr int kHighestFunctionKey = 24;

// "F1" to "F24"; 0 for anything else.
int function_key_number(std::string_view keysym) {
  if (keysym.size() < 2 || keysym.size() > 3 || keysym[0] != 'F' || keysym[1] == '0') return 0;
  int number = 0;
  const auto [end, error] = std::from_chars(keysym.data() + 1, keysym.data() + keysym.size(), number);
  if (error != std::errc{} || end != keysym.data() + keysym.size() || number > kHighestFunctionKey) return 0;
  return number;
}

}  // namespace

std::optional<std::uint8_t> virtual_key_for(std::string_view keysym) {
  for (const auto& [name, code] : kNamedKeys)
    if (name == keysym) return code;
  if (const int number = function_key_number(keysym); number > 0) return static_cast<std::uint8_t>(VK_F1 + number - 1);
  // Letters and digits are their own virtual keys, upper-case letters; X
  // names a letter key by either case.
  if (keysym.size() == 1) {
    const char c = keysym[0];
    if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<std::uint8_t>(c);
  }
  // The keypad's digits.
  if (keysym.size() == 4 && keysym.starts_with("KP_") && keysym[3] >= '0' && keysym[3] <= '9')
    return static_cast<std::uint8_t>(VK_NUMPAD0 + (keysym[3] - '0'));
  return std::nullopt;
}

}  // namespace marvok::talksrv
