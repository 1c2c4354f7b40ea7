#pragma once

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

class QPainter;

namespace marvok {
struct ChannelState;
namespace relay {
struct MemberTable;
}
}  // namespace marvok

namespace marvok::ui {

// A member's small picture: nothing when the service had none to give (the
// member takes no cell), a null image when it could not be had or decoded
// (the member's cell stays empty).
using PictureSource = std::function<std::optional<QImage>(std::uint16_t member)>;

inline constexpr QSize kNetworkWindowSize{315, 460};
inline constexpr std::chrono::milliseconds kNetworkGrowthPause{20};

// Draws the members of the current channel as a grid of 66 × 83 cells, four
// to a row from (10, 10): the pictures that could be had, in the relay's
// order, then green cells for the places left out of sixteen.
void draw_correspondents(QPainter& painter, const ChannelState& channel, const relay::MemberTable& members,
                         const PictureSource& pictures);

// The "Marvok Network" window: a top-level window owned by the main window
// showing who is in the member's channel. It closes itself once the member is
// back on channel 0.
class NetworkWindow final : public QWidget {
  Q_OBJECT

 public:
  NetworkWindow(QWidget& main, const ChannelState& channel, const relay::MemberTable& members, PictureSource pictures,
                QPoint position);

  // Ends the opening: painting now draws the grid, and a timer looks every
  // second for arrivals and departures.
  void start();
  // The timer's check: redraws when the number of members present has changed.
  void tick();

  bool ready() const { return ready_; }
  // True from the moment the window is asked to close, before it is deleted.
  bool closing() const { return closing_; }
  const QImage& surface() const { return surface_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  bool on_channel_zero() const;

  const ChannelState& channel_;
  const relay::MemberTable& members_;
  PictureSource pictures_;
  bool ready_ = false;
  bool closing_ = false;
  std::int32_t last_drawn_count_ = -1;
  QImage surface_;
  QTimer timer_;
};

// Opens and closes the network window from the main window's NETWORK button.
class NetworkWindowToggle {
 public:
  NetworkWindowToggle(QWidget& main, const ChannelState& channel, const relay::MemberTable& members,
                      PictureSource pictures, std::chrono::milliseconds growth_pause = kNetworkGrowthPause);

  // On channel 0 does nothing; closes the window when open; otherwise opens
  // it, growing it from beside the main window, and returns once it is grown.
  // 0 only when the window could not be created.
  int toggle();

  // The open window, or null.
  NetworkWindow* window() const;
  bool is_open() const { return window() != nullptr; }

 private:
  QWidget& main_;
  const ChannelState& channel_;
  const relay::MemberTable& members_;
  PictureSource pictures_;
  std::chrono::milliseconds growth_pause_;
  QPointer<NetworkWindow> window_;
};

}  // namespace marvok::ui
