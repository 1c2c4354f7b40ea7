#pragma once

#include <functional>
#include <optional>

#include "audio/input_device_table.h"
#include "platform/audio_endpoints.h"
#include "screen/dialogs.h"

namespace marvok::screen {

// Where the default input's description comes from.
struct DefaultInputLookup {
  std::function<std::optional<int>()> find_index;
  EndpointDescriber describe;
};

// Describes the default capture endpoint into `description` and returns its
// index among the active ones, or -1. The member is warned, in a box of its
// own, when it cannot be found or its description cannot be read; the index
// found is still returned in the latter case.
int describe_default_input_device(platform::DeviceDescription& description, const DefaultInputLookup& lookup,
                                  Dialogs& dialogs);

}  // namespace marvok::screen
