#pragma once

#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <chrono>

#include "ui/network_window.h"

namespace marvok::relay {
struct MemberTable;
}

namespace marvok::ui {

inline constexpr QSize kGroupListWindowSize{666, 650};
inline constexpr int kGroupListRows = 10;
inline constexpr int kGroupListCellsPerRow = 16;

// The pauses between the steps of the opening growth: the first stage
// unfolds the window upwards, the second widens and lengthens it.
struct GroupListGrowthPauses {
  std::chrono::milliseconds first_stage{20};
  std::chrono::milliseconds second_stage{10};
};

// The "Marvok Group List" window: who is in each of channels 1 to 10, one row
// refreshed a second, in turn. Drawing goes to a backing image that only the
// ticks paint; a paint just copies it.
class GroupListWindow final : public QWidget {
  Q_OBJECT

 public:
  // `next_row` is the row the next tick draws; the caller keeps it so that
  // it survives the window.
  GroupListWindow(QWidget& main, const relay::MemberTable& members, PictureSource pictures, int& next_row,
                  QPoint position);

  // Ends the opening: creates the backing image, fills it with the
  // black-to-white gradient and starts the one-second timer.
  void start();
  // Redraws the next row (cells, pictures, number, markers), moves on to the
  // row after it, then redraws the warning.
  void tick();

  bool ready() const { return ready_; }
  // True from the moment the window is asked to close, before it is deleted.
  bool closing() const { return closing_; }
  // Null until the opening ends and again once closing.
  const QImage& surface() const { return surface_; }
  bool timer_running() const { return timer_.isActive(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void draw_row(int row);
  void draw_warning();

  const relay::MemberTable& members_;
  PictureSource pictures_;
  int& next_row_;
  bool ready_ = false;
  bool closing_ = false;
  QImage surface_;
  QTimer timer_;
};

// Opens and closes the group list window from the main window's group list
// button, and remembers which row comes next across openings.
class GroupListWindowToggle {
 public:
  GroupListWindowToggle(QWidget& main, const relay::MemberTable& members, PictureSource pictures,
                        GroupListGrowthPauses pauses = {});
  ~GroupListWindowToggle();
  GroupListWindowToggle(const GroupListWindowToggle&) = delete;
  GroupListWindowToggle& operator=(const GroupListWindowToggle&) = delete;

  // Closes the window when open; otherwise opens it beside the main window,
  // grows it and returns once it is grown and ticking.
  void toggle();

  // The open window, or null.
  GroupListWindow* window() const;
  bool is_open() const { return window() != nullptr; }
  // The row the next tick draws, 1 to 10.
  int next_row() const { return next_row_; }

 private:
  QWidget& main_;
  const relay::MemberTable& members_;
  PictureSource pictures_;
  GroupListGrowthPauses pauses_;
  int next_row_ = 1;
  QPointer<GroupListWindow> window_;
};

}  // namespace marvok::ui
