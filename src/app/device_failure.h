#pragma once

#include <stop_token>

#include "app/message_loop.h"
#include "audio/audio_worker.h"
#include "screen/dialogs.h"
#include "screen/event_loop.h"

namespace marvok {

// A sound device the client cannot do without failed to open: tell the member
// in two boxes, then end the client with exit code 1.
void report_device_failure(screen::PostTarget& main_thread, screen::Dialogs& dialogs, MessageLoop& loop,
                           VoiceDevice device, int code, std::stop_token stop);

}  // namespace marvok
