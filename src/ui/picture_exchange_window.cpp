#include "ui/picture_exchange_window.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "relay/channels.h"
#include "state/session_state.h"

namespace marvok::ui {

namespace {

constexpr QPoint kMainWindowOffset{-200, 50};
constexpr QPoint kSharedPicturePosition{5, 5};

}  // namespace

// The client area below the menu bar. The picture is always fitted into it,
// so there is never anything to scroll and it has no scroll bars.
class PictureExchangeArea final : public QWidget {
 public:
  explicit PictureExchangeArea(PictureExchangeWindow& window) : QWidget(&window), window_(window) {
    // The off-screen image covers every pixel: no erase beforehand, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const QImage& drawn = window_.draw_elements(size());
    QPainter(this).drawImage(QPoint(0, 0), drawn);
  }

 private:
  PictureExchangeWindow& window_;
};

QRect fit_picture(QSize picture, QSize client_area) {
  if (picture.isEmpty() || client_area.isEmpty()) return {};
  const float scale = std::min(static_cast<float>(client_area.width()) / static_cast<float>(picture.width()),
                               static_cast<float>(client_area.height()) / static_cast<float>(picture.height()));
  const int width = static_cast<int>(static_cast<float>(picture.width()) * scale);
  const int height = static_cast<int>(static_cast<float>(picture.height()) * scale);
  return {(client_area.width() - width) / 2, (client_area.height() - height) / 2, width, height};
}

PictureExchangeWindow::PictureExchangeWindow(QWidget& main, const ChannelState& channel,
                                             const PictureExchangeSource& source, PictureExchangeState& state)
    : QMainWindow(&main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      main_(main),
      channel_(channel),
      source_(source),
      state_(state),
      area_(new PictureExchangeArea(*this)) {
  // The class name the network's other clients know the window by.
  setObjectName(QStringLiteral("CanvasWndClass"));
  setWindowTitle(QStringLiteral("Marvok Echange et Partage"));
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

const QImage& PictureExchangeWindow::draw_elements(QSize area) {
  if (buffer_.size() != area) buffer_ = QImage(area, QImage::Format_RGB32);
  buffer_.fill(palette().color(QPalette::Base));
  QPainter painter(&buffer_);
  const std::size_t count = std::min(state_.elements.size(), kMaxExchangeElements);
  for (std::size_t i = 0; i < count && state_.elements[i].kind != ExchangeElementKind::End; ++i)
    if (state_.elements[i].kind == ExchangeElementKind::SharedPicture) draw_shared_picture(painter);
  return buffer_;
}

void PictureExchangeWindow::draw_shared_picture(QPainter& painter) {
  if (!state_.picture_loaded) {
    // Set first: should the download let a paint through, it does not start
    // a second one.
    state_.picture_loaded = true;
    if (source_.download)
      if (std::optional<QImage> fetched = source_.download(group_index())) state_.picture = std::move(*fetched);
  }
  if (state_.picture.isNull()) return;

  const QRect target = fit_picture(state_.picture.size(), buffer_.size());
  if (target.isEmpty()) return;
  if (scaled_.size() != target.size() || scaled_from_ != state_.picture.cacheKey()) {
    scaled_ = state_.picture.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled_from_ = state_.picture.cacheKey();
  }
  painter.drawImage(target.topLeft(), scaled_);
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

// The window refers to this object's source and state.
PictureExchangeWindowToggle::~PictureExchangeWindowToggle() { delete window_.data(); }

PictureExchangeWindow* PictureExchangeWindowToggle::window() const {
  return window_ && !window_->closing() ? window_.data() : nullptr;
}

void PictureExchangeWindowToggle::toggle() {
  if (relay::current_channel(channel_) == 0) return;
  if (PictureExchangeWindow* open = window()) {
    open->close();
    return;
  }

  state_.picture_loaded = false;
  state_.elements = {{ExchangeElementKind::SharedPicture, kSharedPicturePosition}, {ExchangeElementKind::End, {}}};
  auto* window = new PictureExchangeWindow(main_, channel_, source_, state_);
  window->move(main_.frameGeometry().topLeft() + kMainWindowOffset);
  window->resize(kPictureExchangeWindowSize);
  window_ = window;
  window->show();
  main_.activateWindow();
}

}  // namespace marvok::ui
