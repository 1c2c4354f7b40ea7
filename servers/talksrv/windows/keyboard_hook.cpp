#include "keyboard_hook.h"

#include <optional>
#include <string>
#include <utility>

namespace marvok::talksrv {

namespace {

// The system calls the hook with no context of ours; it runs on the thread
// that set it, the only one that touches this.
KeyboardHook* installed = nullptr;

// Swallows the event: the next hooks and the focused window never see it.
constexpr LRESULT kSwallow = 1;

}  // namespace

KeyboardHook::KeyboardHook(std::uint8_t virtual_key, OnChange on_change)
    : virtual_key_(virtual_key), on_change_(std::move(on_change)) {}

std::unique_ptr<KeyboardHook> KeyboardHook::install(std::uint8_t virtual_key, OnChange on_change, std::string& error) {
  if (installed != nullptr) {
    error = "a push-to-talk key is already hooked";
    return nullptr;
  }
  std::unique_ptr<KeyboardHook> hook(new KeyboardHook(virtual_key, std::move(on_change)));
  installed = hook.get();
  hook->hook_ = SetWindowsHookExW(WH_KEYBOARD_LL, on_key, GetModuleHandleW(nullptr), 0);
  if (hook->hook_ == nullptr) {
    error = "the keyboard cannot be hooked (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  return hook;
}

KeyboardHook::~KeyboardHook() {
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  installed = nullptr;
}

LRESULT CALLBACK KeyboardHook::on_key(int code, WPARAM message, LPARAM data) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the system's handles and messages carry pointers as integers
  const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
  KeyboardHook* const hook = installed;
  if (code != HC_ACTION || hook == nullptr || key->vkCode != hook->virtual_key_)
    return CallNextHookEx(nullptr, code, message, data);
  // Alt held with the key makes system key messages of it.
  const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  if (const std::optional<Report> change = hook->key_.on(down ? HeldKey::Event::Down : HeldKey::Event::Up))
    hook->on_change_(*change);
  return kSwallow;
}

}  // namespace marvok::talksrv
