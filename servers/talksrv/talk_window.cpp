#include "talk_window.h"

#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

namespace marvok::talksrv {

TalkWindow::TalkWindow(OnChange on_change)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint),
      button_(new QPushButton(QStringLiteral("Maintenir pour parler"), this)) {
  setWindowTitle(QStringLiteral("Marvok - synthèse vocale"));
  button_->setMinimumSize(220, 60);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(button_);
  connect(button_, &QPushButton::pressed, this, [on_change] { on_change(Report::Talk); });
  connect(button_, &QPushButton::released, this, [on_change = std::move(on_change)] { on_change(Report::Release); });
}

}  // namespace marvok::talksrv
