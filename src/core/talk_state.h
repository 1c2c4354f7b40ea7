#pragma once

#include <cstdint>
#include <mutex>

namespace marvok {

// Values of the two push-to-talk sources.
inline constexpr std::int32_t kTalkReleased = 1;
inline constexpr std::int32_t kTalkPressed = 2;

// The two push-to-talk sources: the Space key (or the speech companion) and the
// USB accessory. `TalkStateLock` is held only for one store or the two
// comparisons, never while anything else is done.
class TalkState {
 public:
  void set_key(std::int32_t value) {
    std::lock_guard lock(TalkStateLock);
    KeyTalkState = value;
  }
  void set_pedal(std::int32_t value) {
    std::lock_guard lock(TalkStateLock);
    PedalTalkState = value;
  }
  std::int32_t key() const {
    std::lock_guard lock(TalkStateLock);
    return KeyTalkState;
  }
  std::int32_t pedal() const {
    std::lock_guard lock(TalkStateLock);
    return PedalTalkState;
  }
  // The client talks while either source is pressed; it listens only when both are released.
  bool is_talking() const {
    std::lock_guard lock(TalkStateLock);
    return KeyTalkState == kTalkPressed || PedalTalkState == kTalkPressed;
  }

 private:
  mutable std::mutex TalkStateLock;
  std::int32_t KeyTalkState = kTalkReleased;
  std::int32_t PedalTalkState = kTalkReleased;
};

}  // namespace marvok
