// The least an idle client can cost on this machine: a program that does
// only the periodic work an idle Marvok must do, in the plainest way, with
// none of the client's logic. Measure it with idle_client_bench.sh in place
// of the client; the difference between the two is what the client adds.
//   - a 50 ms window clock; every other tick a 150 x 150 frame is drawn and
//     shown, and a 16 x 16 light is drawn and shown when the ring's cell
//     (one step every 125 ms) has moved;
//   - a 26-byte datagram to the relay every 20 ms;
//   - silence played continuously at 8000 frames a second in 125 ms buffers,
//     and at 48000 float frames a second, topped up every half second.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pulse/simple.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class FloorWindow : public QWidget {
 public:
  FloorWindow() : surface_(640, 480, QImage::Format_RGB32), started_(Clock::now()) {
    setFixedSize(surface_.size());
    surface_.fill(Qt::black);
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      frames_[i] = QImage(150, 150, QImage::Format_ARGB32_Premultiplied);
      frames_[i].fill(QColor(static_cast<int>(i) * 12, 120, 200));
    }
    clock_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&clock_, &QTimer::timeout, [this] { tick(); });
    clock_.start(50);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    for (const QRect& part : event->region()) {
      painter.setClipRect(part);
      painter.drawImage(part.topLeft(), surface_, part);
    }
  }

 private:
  void tick() {
    if (++ticks_ % 2 == 0) {
      draw(QRect(350, 300, 150, 150), [&](QPainter& painter) { painter.drawImage(350, 300, frames_[frame_]); });
      frame_ = (frame_ + 1) % frames_.size();
    }
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count();
    const int cell = static_cast<int>(since / 125 % 16);
    if (cell != ring_cell_) {
      ring_cell_ = cell;
      const QRect light(100 + cell * 18, 400, 16, 16);
      draw(light, [&](QPainter& painter) { painter.fillRect(light, cell % 2 ? Qt::red : Qt::blue); });
    }
  }

  template <typename Drawing>
  void draw(const QRect& area, Drawing drawing) {
    {
      QPainter painter(&surface_);
      drawing(painter);
    }
    update(area);
  }

  QImage surface_;
  std::array<QImage, 20> frames_;
  QTimer clock_;
  Clock::time_point started_;
  std::uint64_t ticks_ = 0;
  std::size_t frame_ = 0;
  int ring_cell_ = -1;
};

void send_presence(std::stop_token stop) {
  const int socket_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in relay{};
  relay.sin_family = AF_INET;
  relay.sin_port = htons(30000);
  relay.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::array<char, 26> presence{'P'};
  while (!stop.stop_requested()) {
    ::sendto(socket_fd, presence.data(), presence.size(), 0, reinterpret_cast<const sockaddr*>(&relay), sizeof relay);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::close(socket_fd);
}

// Plays silence for ever; pa_simple_write blocks while the server's buffer is full.
void play_silence(std::stop_token stop, pa_sample_spec format, std::uint32_t buffer_bytes, std::uint32_t write_bytes) {
  const pa_buffer_attr buffering{static_cast<std::uint32_t>(-1), buffer_bytes, write_bytes, write_bytes,
                                 static_cast<std::uint32_t>(-1)};
  pa_simple* stream = pa_simple_new(nullptr, "idle floor", PA_STREAM_PLAYBACK, nullptr, "silence", &format, nullptr,
                                    &buffering, nullptr);
  if (!stream) return;
  const std::vector<std::uint8_t> silence(write_bytes, 0);
  while (!stop.stop_requested() && pa_simple_write(stream, silence.data(), silence.size(), nullptr) == 0) {
  }
  pa_simple_free(stream);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  FloorWindow window;
  window.show();
  const std::jthread presence(send_presence);
  const std::jthread voice(play_silence, pa_sample_spec{PA_SAMPLE_S16LE, 8000, 2}, 8000, 4000);
  const std::jthread speech(play_silence, pa_sample_spec{PA_SAMPLE_FLOAT32LE, 48000, 2}, 384000, 192000);
  return QApplication::exec();
}
