#include "ui/qt/picture_exchange_window.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <utility>

#include "relay/channels.h"
#include "ui/qt/qt_canvas.h"

namespace marvok::ui {

namespace {

// The client area below the menu bar. The picture is always fitted into it,
// so there is never anything to scroll and it has no scroll bars.
class PictureArea final : public QWidget {
 public:
  explicit PictureArea(PictureExchangeWindow& window) : QWidget(&window), window_(window) {
    // The drawn picture covers every pixel: no erase beforehand, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(QPoint(0, 0), window_.drawn(size())); }

 private:
  PictureExchangeWindow& window_;
};

}  // namespace

PictureExchangeWindow::PictureExchangeWindow(QWidget& main, const ChannelState& channel, PictureExchangeSource source,
                                             screen::PictureExchangeState& state)
    : QMainWindow(&main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      main_(main),
      channel_(channel),
      source_(std::move(source)),
      state_(state),
      area_(new PictureArea(*this)) {
  setObjectName(QString::fromLatin1(screen::kPictureExchangeWindowClass.data(),
                                    static_cast<qsizetype>(screen::kPictureExchangeWindowClass.size())));
  setWindowTitle(QString::fromUtf16(screen::kPictureExchangeWindowTitle.data(),
                                    static_cast<qsizetype>(screen::kPictureExchangeWindowTitle.size())));
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setCentralWidget(area_);

  // Kept in the window even where the desktop has a global menu bar, so the
  // picture always gets the area below it.
  menuBar()->setNativeMenuBar(false);
  QMenu* file = menuBar()->addMenu(QStringLiteral("Fichier"));
  connect(file->addAction(QStringLiteral("Actualiser")), &QAction::triggered, this, &PictureExchangeWindow::refresh);
  connect(file->addAction(QStringLiteral("Envoyer")), &QAction::triggered, this, &PictureExchangeWindow::send_picture);
}

int PictureExchangeWindow::group_index() const { return relay::current_channel(channel_); }

void PictureExchangeWindow::refresh() {
  state_.picture_loaded = false;
  area_->update();
}

void PictureExchangeWindow::send_picture() {
  // The file dialog runs its own event loop: the window may be closed and
  // deleted before it returns. Closing clears the loaded flag anyway.
  const QPointer<PictureExchangeWindow> alive(this);
  if (source_.upload) source_.upload(group_index());
  if (alive) refresh();
}

const QImage& PictureExchangeWindow::drawn(QSize size) {
  if (drawn_.size() == size && state_.picture_loaded) return drawn_;
  if (drawn_.size() != size) drawn_ = QImage(size, QImage::Format_RGB32);
  QPainter painter(&drawn_);
  QtCanvas canvas(painter);
  const int group = group_index();
  screen::draw_picture_exchange(canvas, {size.width(), size.height()}, state_,
                                [this, group] { return source_.download ? source_.download(group) : std::nullopt; });
  return drawn_;
}

void PictureExchangeWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) main_.activateWindow();
  QMainWindow::mouseReleaseEvent(event);
}

void PictureExchangeWindow::closeEvent(QCloseEvent* event) {
  closing_ = true;
  state_.picture_loaded = false;
  event->accept();
}

PictureExchangeWindowToggle::PictureExchangeWindowToggle(QWidget& main, const ChannelState& channel,
                                                         PictureExchangeSource source)
    : main_(main), channel_(channel), source_(std::move(source)) {}

int PictureExchangeWindowToggle::toggle() {
  if (relay::current_channel(channel_) == 0) return 1;
  return toggle_window(
      [&] {
        screen::open_picture_exchange(kept_);
        auto* window = new PictureExchangeWindow(main_, channel_, source_, kept_);
        window->move(to_qpoint(screen::picture_exchange_position(from_qrect(main_.frameGeometry()))));
        window->resize(screen::kPictureExchangeWindowSize.width, screen::kPictureExchangeWindowSize.height);
        return window;
      },
      [&](const QPointer<PictureExchangeWindow>& window) {
        window->show();
        main_.activateWindow();
      });
}

}  // namespace marvok::ui
