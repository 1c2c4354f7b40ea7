#include "screen/panel_schedule.h"

#include <algorithm>
#include <tuple>

#include "screen/channel_panel.h"
#include "screen/main_layout.h"
#include "screen/main_screen.h"
#include "screen/status_lights.h"
#include "screen/status_panel.h"
#include "screen/text_panels.h"
#include "screen/window_frame.h"

namespace marvok::screen {

namespace {

// The panels' periods, in the order the timers start: CHANNEL panel, NETWORK
// ring, status panel, speaker poll, help banner, status text, status lights.
constexpr std::array<int, 7> kPeriodsMs = {500, 50, 1000, 1000, 500, 500, 200};
// Every period is a whole number of these: one clock runs them all, so the
// process wakes once per tick rather than once for each panel that is due.
constexpr int kTickMs = static_cast<int>(PanelSchedule::kTick.count());
static_assert(std::ranges::all_of(kPeriodsMs, [](int period) { return period % kTickMs == 0; }));

template <std::size_t N>
std::array<LedColor, N> cells_of(const std::array<LedCell, N>& cells) {
  std::array<LedColor, N> values{};
  for (std::size_t i = 0; i < N; ++i) values[i] = cells[i].load(std::memory_order_relaxed);
  return values;
}

// What a panel showed when last drawn; the frame generation and background come with every key.
template <typename Key>
class LastDrawn {
 public:
  // True when `key` differs from what was drawn last, which it then becomes.
  bool changed(const Key& key) {
    if (last_ && *last_ == key) return false;
    last_ = key;
    return true;
  }

 private:
  std::optional<Key> last_;
};

}  // namespace

struct PanelSchedule::TextDrawn : LastDrawn<std::tuple<int, std::uint32_t, std::u16string>> {};

struct PanelSchedule::Drawn {
  LastDrawn<std::tuple<int, std::uint32_t, std::int32_t, std::int32_t>> channel_panel;
  LastDrawn<std::tuple<int, std::uint32_t>> ring_frame;
  std::array<LedColor, kNetworkRingCells> ring_cells{};
  LastDrawn<std::tuple<int, std::uint32_t, float, float, StreamFormat>> status_panel;
  TextDrawn banner;
  TextDrawn status_text;
  LastDrawn<std::tuple<int, std::uint32_t, std::array<LedColor, 6>, std::int32_t, bool>> lights;
  LastDrawn<std::tuple<int, std::uint32_t>> lights_frame;
};

PanelSchedule::PanelSchedule(SessionState& state, const MainWindowImages& images, MainScreenGetter window,
                             EventLoop& loop, LevelReader read_level, std::function<void()> poll_speaker,
                             std::function<void()> on_tick)
    : state_(state),
      images_(images),
      window_(std::move(window)),
      loop_(loop),
      read_level_(std::move(read_level)),
      poll_speaker_(std::move(poll_speaker)),
      on_tick_(std::move(on_tick)),
      drawn_(std::make_unique<Drawn>()) {}

void PanelSchedule::tick() {
  static constexpr std::array<void (PanelSchedule::*)(), 7> kWork = {
      &PanelSchedule::redraw_channel_panel, &PanelSchedule::redraw_network_ring, &PanelSchedule::redraw_status_panel,
      &PanelSchedule::poll_speaker,         &PanelSchedule::redraw_help_banner,  &PanelSchedule::redraw_status_text,
      &PanelSchedule::redraw_status_lights};
  ++ticks_;
  if (on_tick_) on_tick_();
  for (std::size_t i = 0; i < kWork.size(); ++i)
    if (ticks_ % static_cast<std::uint64_t>(kPeriodsMs[i] / kTickMs) == 0) (this->*kWork[i])();
}

PanelSchedule::~PanelSchedule() = default;

void PanelSchedule::start() {
  ticks_ = 0;
  clock_ = loop_.repeat(kTick, [this] { tick(); });
}

void PanelSchedule::stop() { clock_.reset(); }

void PanelSchedule::poll_speaker() {
  if (poll_speaker_ && window_()) poll_speaker_();
}

void PanelSchedule::redraw_channel_panel() {
  MainScreen* window = window_();
  if (!window || !state_.display.PanelsReady.load(std::memory_order_relaxed)) return;
  const Colour background = window_background(state_.display);
  if (!drawn_->channel_panel.changed({window->frame_generation(), background.colorref(),
                                      state_.channel.ChannelPort.load(std::memory_order_relaxed),
                                      state_.channel.ChannelMemberCount.load(std::memory_order_relaxed)}))
    return;
  window->draw(kChannelPanelArea.adjusted(0, 0, 0, 10),
               [&](Canvas& canvas) { draw_channel_panel(canvas, state_.channel, images_, background); });
}

void PanelSchedule::redraw_network_ring() {
  MainScreen* window = window_();
  if (!window) return;
  const Colour background = window_background(state_.display);
  const auto cells = cells_of(state_.lights.NetworkRing);
  // The ring turns while anything plays: only the lights that changed are drawn again.
  if (drawn_->ring_frame.changed({window->frame_generation(), background.colorref()})) {
    window->draw(kNetworkRingArea,
                 [&](Canvas& canvas) { draw_network_ring(canvas, state_.lights, images_.leds, background); });
  } else {
    Region changed;
    const Size light{images_.leds[0].width, images_.leds[0].height};
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (cells[k] != drawn_->ring_cells[k]) changed.add(Rect(ring_light_position(static_cast<int>(k)), light));
    }
    if (!changed.empty()) {
      window->draw(changed, [&](Canvas& canvas) {
        for (std::size_t k = 0; k < cells.size(); ++k) {
          if (cells[k] != drawn_->ring_cells[k]) draw_ring_light(canvas, static_cast<int>(k), cells[k], images_.leds);
        }
      });
    }
  }
  drawn_->ring_cells = cells;
}

void PanelSchedule::redraw_status_panel() {
  MainScreen* window = window_();
  if (!window) return;
  const Colour background = window_background(state_.display);
  StatusPanelValues values;
  values.mic_level = read_level_(platform::AudioEndpoint::DefaultCapture).value_or(0.0f);
  values.volume_level = read_level_(platform::AudioEndpoint::DefaultRender).value_or(0.0f);
  values.received_format = state_.display.ReceivedFormat.load(std::memory_order_relaxed);
  if (!drawn_->status_panel.changed({window->frame_generation(), background.colorref(), values.mic_level,
                                     values.volume_level, values.received_format}))
    return;
  std::optional<ControlRects> rects;
  window->draw(kStatusPanelArea.united(kMeterLabelsArea).united(kDocumentationArea).united(kVoiceHelpArea),
               [&](Canvas& canvas) { rects = draw_status_panel(canvas, images_, values, background); });
  if (rects) window->set_control_rects(*rects);
}

void PanelSchedule::redraw_help_banner() {
  redraw_text(drawn_->banner, state_.display.InfoLine.get(), kBannerFrame, draw_help_banner);
}

void PanelSchedule::redraw_status_text() {
  redraw_text(drawn_->status_text, state_.display.StatusText.get(), kBottomFrame, draw_status_text);
}

void PanelSchedule::redraw_text(TextDrawn& last, const std::u16string& text, const Rect& area,
                                void (*draw)(Canvas&, std::u16string_view, Colour)) {
  MainScreen* window = window_();
  if (!window) return;
  const Colour background = window_background(state_.display);
  if (!last.changed({window->frame_generation(), background.colorref(), text})) return;
  window->draw(area, [&](Canvas& canvas) { draw(canvas, text, background); });
}

void PanelSchedule::redraw_status_lights() {
  MainScreen* window = window_();
  if (!window) return;
  const Colour background = window_background(state_.display);
  const LightsState& lights = state_.lights;
  const std::array<LedColor, 6> cells = {lights.TstLed.load(), lights.HttpsLed.load(), lights.TxRxLed.load(),
                                         lights.UdpLed.load(), lights.SvcLed.load(),   lights.TcpLed.load()};
  const bool foreground = window->foreground();
  if (!drawn_->lights.changed({window->frame_generation(), background.colorref(), cells,
                               lights.ErrorLevel.load(std::memory_order_relaxed), foreground}))
    return;
  const Labels labels =
      drawn_->lights_frame.changed({window->frame_generation(), background.colorref()}) ? Labels::Draw : Labels::Keep;
  window->draw(kStatusLightsArea.united(kFocusLightsArea), [&](Canvas& canvas) {
    draw_status_lights(canvas, state_.lights, images_.leds,
                       foreground ? WindowFocus::Foreground : WindowFocus::Background, background, labels);
  });
}

}  // namespace marvok::screen
