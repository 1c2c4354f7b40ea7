#pragma once

#include <QEventLoop>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QTimer>
#include <chrono>

namespace marvok::ui {

// Lets the application run for `pause`, so the member can still use the main
// window while a tool window grows.
inline void pause_with_events(std::chrono::milliseconds pause) {
  QEventLoop loop;
  QTimer::singleShot(pause, &loop, &QEventLoop::quit);
  loop.exec();
}

// One step of a tool window's opening growth. False once the window has gone
// meanwhile: closed by a second toggle, by its close box or with the main window.
template <typename Window>
bool grow_step(const QPointer<Window>& window, QPoint position, QSize size, std::chrono::milliseconds pause) {
  window->move(position);
  window->resize(size);
  window->repaint();
  pause_with_events(pause);
  return window && !window->closing();
}

}  // namespace marvok::ui
