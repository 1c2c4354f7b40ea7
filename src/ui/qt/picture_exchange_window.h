#pragma once

#include <QImage>
#include <QMainWindow>
#include <functional>
#include <optional>

#include "screen/picture_exchange.h"
#include "state/picture.h"
#include "state/session_state.h"
#include "ui/qt/window_toggle.h"

namespace marvok::ui {

// What the window asks of the web client for one channel's shared picture.
struct PictureExchangeSource {
  // Downloads and decodes the channel's picture. Nothing when no bytes came
  // (the window keeps the picture it has); otherwise the new picture, which is
  // empty when the download failed or the bytes did not decode.
  std::function<std::optional<Picture>(int group_index)> download;
  // Lets the member pick a picture file and sends it to the channel.
  std::function<void(int group_index)> upload;
};

// The "Marvok Echange et Partage" window: the channel's shared picture, fitted
// to the window, with a menu to fetch it again or send a new one.
class PictureExchangeWindow final : public QMainWindow {
  Q_OBJECT

 public:
  PictureExchangeWindow(QWidget& main, const ChannelState& channel, PictureExchangeSource source,
                        screen::PictureExchangeState& state);

  // The area below the menu bar where the picture is drawn.
  QWidget& picture_area() const { return *area_; }
  // True from the moment the window is asked to close, before it is deleted.
  bool closing() const { return closing_; }

  // "Actualiser": fetch the picture again and redraw it all.
  void refresh();
  // "Envoyer": let the member send a picture, then refresh.
  void send_picture();

  // The area's picture at `size`, drawn again when its size changed or the
  // shared picture is to be fetched again.
  const QImage& drawn(QSize size);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  int group_index() const;

  QWidget& main_;
  const ChannelState& channel_;
  PictureExchangeSource source_;
  screen::PictureExchangeState& state_;
  QWidget* area_;
  bool closing_ = false;
  QImage drawn_;
};

// Opens and closes the picture exchange window from the main window's
// animated picture; what the exchange keeps lasts the whole run.
class PictureExchangeWindowToggle final : public WindowToggle<PictureExchangeWindow, screen::PictureExchangeState> {
 public:
  PictureExchangeWindowToggle(QWidget& main, const ChannelState& channel, PictureExchangeSource source);

  // On channel 0 does nothing; closes the window when open; otherwise opens
  // it beside the main window and leaves the main window in front. 0 only
  // when the window could not be created.
  int toggle();

 private:
  QWidget& main_;
  const ChannelState& channel_;
  PictureExchangeSource source_;
};

}  // namespace marvok::ui
