#pragma once

#include <stop_token>

class QObject;

#include "app/message_loop.h"
#include "audio/audio_worker.h"

namespace marvok {

// A sound device the client cannot do without failed to open: tell the member
// in two boxes, then end the client with exit code 1.
void report_device_failure(QObject& context, MessageLoop& loop, VoiceDevice device, int code, std::stop_token stop);

}  // namespace marvok
