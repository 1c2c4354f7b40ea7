#pragma once

#include <QWidget>
#include <functional>

#include "companion_server.h"

class QPushButton;

namespace marvok::talksrv {

// A small window that stays above the others with one button held to talk,
// for members who prefer the mouse or whose desktop gives no global key.
class TalkWindow final : public QWidget {
  Q_OBJECT

 public:
  using OnChange = std::function<void(Report)>;

  explicit TalkWindow(OnChange on_change);

  QPushButton& button() { return *button_; }

 private:
  QPushButton* button_;
};

}  // namespace marvok::talksrv
