#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

#include "screen/picture_exchange.h"
#include "state/picture.h"
#include "state/session_state.h"
#include "ui/win32/bitmap_dc.h"
#include "ui/win32/window_toggle.h"

namespace marvok::ui::win32 {

// What the window asks of the web client for one channel's shared picture.
struct PictureExchangeSource {
  // Nothing when no bytes came (the window keeps its picture); otherwise the
  // new picture, empty when the download failed or did not decode.
  std::function<std::optional<Picture>(int group_index)> download;
  // Lets the member pick a picture file and sends it to the channel.
  std::function<void(int group_index)> upload;
};

// The "Marvok Echange et Partage" window: the channel's shared picture,
// fitted to the window, with the "Fichier" menu to fetch it again or send a
// new one.
class PictureExchangeWindow final : public std::enable_shared_from_this<PictureExchangeWindow> {
 public:
  // Hidden, placed beside `main`; no window when the system could not make one.
  PictureExchangeWindow(HWND main, const ChannelState& channel, PictureExchangeSource source,
                        screen::PictureExchangeState& state);
  ~PictureExchangeWindow();
  PictureExchangeWindow(const PictureExchangeWindow&) = delete;
  PictureExchangeWindow& operator=(const PictureExchangeWindow&) = delete;

  HWND handle() const { return window_; }
  bool closing() const { return closing_ || window_ == nullptr; }
  void close_window();

  // "Actualiser": fetch the picture again and redraw it all.
  void refresh();
  // "Envoyer": let the member send a picture, then refresh.
  void send_picture();

  LRESULT handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  void paint();

  HWND main_;
  const ChannelState& channel_;
  PictureExchangeSource source_;
  screen::PictureExchangeState& state_;
  HWND window_ = nullptr;
  // The client area's picture, drawn again when its size changes or the picture is fetched again.
  std::unique_ptr<BitmapDc> drawn_;
  bool closing_ = false;
};

// Opens and closes the picture exchange window from the main window's
// animated picture; what the exchange keeps lasts the whole run.
class PictureExchangeWindowToggle final : public WindowToggle<PictureExchangeWindow> {
 public:
  PictureExchangeWindowToggle(HWND main, const ChannelState& channel, PictureExchangeSource source);
  // On channel 0 does nothing; otherwise opens the window beside the main
  // window and leaves the main window in front. 0 only when it could not be created.
  int toggle();

 private:
  HWND main_;
  const ChannelState& channel_;
  PictureExchangeSource source_;
  screen::PictureExchangeState state_;
};

}  // namespace marvok::ui::win32
