#pragma once

#include <cstdint>
#include <mutex>

namespace marvok {

// The position of one push-to-talk source.
enum class TalkValue : std::int32_t { Released = 1, Pressed = 2 };

// The two push-to-talk sources: the Space key (or the speech companion) and the
// USB accessory. `TalkStateLock` is held only for one store or the two
// comparisons, never while anything else is done.
class TalkState {
 public:
  void set_key(TalkValue value) {
    std::lock_guard lock(TalkStateLock);
    KeyTalkState = value;
  }
  void set_pedal(TalkValue value) {
    std::lock_guard lock(TalkStateLock);
    PedalTalkState = value;
  }
  TalkValue key() const {
    std::lock_guard lock(TalkStateLock);
    return KeyTalkState;
  }
  TalkValue pedal() const {
    std::lock_guard lock(TalkStateLock);
    return PedalTalkState;
  }
  // The client talks while either source is pressed; it listens only when both are released.
  bool is_talking() const {
    std::lock_guard lock(TalkStateLock);
    return KeyTalkState == TalkValue::Pressed || PedalTalkState == TalkValue::Pressed;
  }

 private:
  mutable std::mutex TalkStateLock;
  TalkValue KeyTalkState = TalkValue::Released;
  TalkValue PedalTalkState = TalkValue::Released;
};

}  // namespace marvok
