#pragma once

#include <optional>
#include <string_view>

#include "screen/canvas.h"
#include "screen/main_areas.h"
#include "screen/main_images.h"
#include "state/session_state.h"

namespace marvok::screen {

// What the status panel shows besides its pictures.
struct StatusPanelValues {
  float mic_level = 0.0f;     // master level of the default microphone, 0 to 1
  float volume_level = 0.0f;  // master level of the default speaker, 0 to 1
  StreamFormat received_format = StreamFormat::None;
};

// The angle a knob is drawn at for a level: half a turn for 0, plus 300
// degrees across the range.
inline double knob_angle(float level) { return 180.0 + 300.0 * static_cast<double>(level); }

// One control of the panel: its picture turned by `angle_degrees` (black
// transparent) at (x, 220), a ring of marker dots (the first blue, the others
// green) and its label below. Returns the rectangle the picture covers.
Rect draw_control(Canvas& canvas, const Picture& picture, double angle_degrees, int x, int dots, double dot_step,
                  std::u16string_view label, Colour background);

// The level meters' labels, the PARAMS button and the two knobs, the two
// icons and the codec label. Returns where the controls were drawn; nothing,
// and nothing drawn, while the knob picture is missing.
std::optional<ControlRects> draw_status_panel(Canvas& canvas, const MainWindowImages& images,
                                              const StatusPanelValues& values, Colour background);

}  // namespace marvok::screen
