#pragma once

#include <memory>
#include <optional>

namespace marvok::platform {

enum class AudioEndpoint { DefaultRender, DefaultCapture };

// The master level of the default speaker or microphone, on the sound
// server's perceptual scale from 0.0 to 1.0. Each call connects, does its one
// operation and disconnects; any failure returns nothing or false.
std::optional<float> get_master_level(AudioEndpoint endpoint);
bool set_master_level(AudioEndpoint endpoint, float level);

// Reads master levels over one connection kept open, for a reader that asks
// every second: connecting each time would cost far more than the reading.
// A lost connection is opened again at the next read. Used by one thread.
class MasterLevelReader {
 public:
  MasterLevelReader();
  ~MasterLevelReader();
  MasterLevelReader(const MasterLevelReader&) = delete;
  MasterLevelReader& operator=(const MasterLevelReader&) = delete;

  std::optional<float> read(AudioEndpoint endpoint);

 private:
  // What each system keeps open between reads.
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

}  // namespace marvok::platform
