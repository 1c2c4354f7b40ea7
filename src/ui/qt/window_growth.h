#pragma once

#include <QEventLoop>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QTimer>
#include <chrono>

#include "screen/tool_window.h"

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
bool grow_step(const QPointer<Window>& window, const screen::GrowthStep& step, std::chrono::milliseconds pause) {
  window->move(step.position.x, step.position.y);
  window->resize(step.size.width, step.size.height);
  window->repaint();
  pause_with_events(pause);
  return window && !window->closing();
}

// The whole growth, the widening from wherever the unfolding left the window.
template <typename Window>
bool grow(const QPointer<Window>& window, const screen::Growth& growth, screen::GrowthPauses pauses) {
  for (const screen::GrowthStep& step : growth.unfolding)
    if (!grow_step(window, step, pauses.unfolding)) return false;
  if (growth.widening == nullptr) return true;
  const screen::Rect reached(window->x(), window->y(), window->width(), window->height());
  for (const screen::GrowthStep& step : growth.widening(reached))
    if (!grow_step(window, step, pauses.widening)) return false;
  return true;
}

}  // namespace marvok::ui
