#pragma once

#include <QString>
#include <cstdint>

class QPainter;

namespace marvok::ui {

// The help banner: a yellow frame, a black strip and the help line centred in green.
void draw_help_banner(QPainter& painter, const QString& info_line, std::uint32_t background);

// The greeting and companion status, centred in the bottom frame.
void draw_status_text(QPainter& painter, const QString& status_text, std::uint32_t background);

// "01:14:59" for 4499 seconds.
QString format_countdown(int seconds);

// The time left before an idle client closes, in yellow, with "TIME LEFT" below.
void draw_countdown(QPainter& painter, int seconds_left, std::uint32_t background);

}  // namespace marvok::ui
