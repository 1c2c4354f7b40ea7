#pragma once

#include <QByteArray>

namespace marvok::testing {

// The value of QT_QPA_PLATFORM for Qt's offscreen platform with one
// 1920 × 1080 screen at 96 dpi, so widgets render alike on every machine.
// Set before the application is made.
QByteArray offscreen_platform_with_full_hd_screen();

}  // namespace marvok::testing
