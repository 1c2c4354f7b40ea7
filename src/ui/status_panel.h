#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

#include "state/session_state.h"
#include "ui/main_images.h"
#include "ui/main_window_areas.h"

class QPainter;

namespace marvok::ui {

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
QRect draw_control(QPainter& painter, const QImage& image, double angle_degrees, int x, int dots, double dot_step,
                   const QString& label, std::uint32_t background);

// The level meters' labels, the PARAMS button and the two knobs, the two
// icons and the codec label. Returns where the controls were drawn; nothing,
// and nothing drawn, while the knob picture is missing.
std::optional<ControlRects> draw_status_panel(QPainter& painter, const MainWindowImages& images,
                                              const StatusPanelValues& values, std::uint32_t background);

}  // namespace marvok::ui
