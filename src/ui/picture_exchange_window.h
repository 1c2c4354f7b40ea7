#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace marvok {
struct ChannelState;
}

namespace marvok::ui {

// What the window asks of the web client for one channel's shared picture.
struct PictureExchangeSource {
  // Downloads and decodes the channel's picture. Nothing when no bytes came
  // (the window keeps the picture it has); otherwise the new picture, which is
  // null when the download failed or the bytes did not decode.
  std::function<std::optional<QImage>(int group_index)> download;
  // Lets the member pick a picture file and sends it to the channel.
  std::function<void(int group_index)> upload;
};

inline constexpr QSize kPictureExchangeWindowSize{600, 600};
// Painting never walks further, whatever the list holds.
inline constexpr std::size_t kMaxExchangeElements = 100;

enum class ExchangeElementKind : std::uint8_t { End = 0, SharedPicture = 4 };

// One thing the window paints, in list order.
struct ExchangeElement {
  ExchangeElementKind kind = ExchangeElementKind::End;
  // Where the element was placed; the shared picture is fitted to the whole
  // area instead.
  QPoint position;
};

// What the exchange keeps for the whole run, while its window comes and goes.
struct PictureExchangeState {
  std::vector<ExchangeElement> elements;
  // The last picture the web client gave, kept across closings.
  QImage picture;
  // Whether the picture was fetched for the current display.
  bool picture_loaded = false;
};

// Where a picture of the given size is drawn in a client area: as large as
// fits, proportions kept, centred (single-precision scale, sizes truncated,
// integer halving).
QRect fit_picture(QSize picture, QSize client_area);

class PictureExchangeArea;

// The "Marvok Echange et Partage" window: the channel's shared picture, fitted
// to the window, with a menu to fetch it again or send a new one.
class PictureExchangeWindow final : public QMainWindow {
  Q_OBJECT

 public:
  PictureExchangeWindow(QWidget& main, const ChannelState& channel, const PictureExchangeSource& source,
                        PictureExchangeState& state);

  // The area below the menu bar where the picture is drawn.
  QWidget& picture_area() const { return *area_; }
  // True from the moment the window is asked to close, before it is deleted.
  bool closing() const { return closing_; }

  // "Actualiser": fetch the picture again and redraw it all.
  void refresh();
  // "Envoyer": let the member send a picture, then refresh.
  void send_picture();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  friend class PictureExchangeArea;

  // Paints the element list onto the off-screen image the area then shows.
  const QImage& draw_elements(QSize area);
  void draw_shared_picture(QPainter& painter);
  int group_index() const;

  QWidget& main_;
  const ChannelState& channel_;
  const PictureExchangeSource& source_;
  PictureExchangeState& state_;
  QWidget* area_;
  bool closing_ = false;
  QImage buffer_;
  // The picture at the size it was last drawn, so resizing does not redo the
  // smooth scaling of an unchanged picture on every paint.
  QImage scaled_;
  qint64 scaled_from_ = 0;
};

// Opens and closes the picture exchange window from the main window's animated picture.
class PictureExchangeWindowToggle {
 public:
  PictureExchangeWindowToggle(QWidget& main, const ChannelState& channel, PictureExchangeSource source);
  ~PictureExchangeWindowToggle();
  PictureExchangeWindowToggle(const PictureExchangeWindowToggle&) = delete;
  PictureExchangeWindowToggle& operator=(const PictureExchangeWindowToggle&) = delete;

  // On channel 0 does nothing; closes the window when open; otherwise opens
  // it beside the main window and leaves the main window in front.
  void toggle();

  // The open window, or null.
  PictureExchangeWindow* window() const;
  bool is_open() const { return window() != nullptr; }

 private:
  QWidget& main_;
  const ChannelState& channel_;
  PictureExchangeSource source_;
  PictureExchangeState state_;
  QPointer<PictureExchangeWindow> window_;
};

}  // namespace marvok::ui
