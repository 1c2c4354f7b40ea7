#include "screen/main_screen.h"

#include "relay/channels.h"
#include "screen/main_layout.h"

namespace marvok::screen {

MainScreen::MainScreen(SessionState& state, Surface& surface, std::function<void()> close)
    : state_(state), surface_(surface), close_(std::move(close)), frame_to_paint_(Rect({0, 0}, kMainWindowSize)) {
  const Colour background = Colour::from_colorref(state_.display.BackgroundColor.load(std::memory_order_relaxed));
  surface_.paint([&](Canvas& canvas) { canvas.fill_rect(Rect({0, 0}, kMainWindowSize), background); });
}

void MainScreen::draw(const Region& area, const std::function<void(Canvas&)>& drawing) {
  if (closed_) return;
  surface_.paint(drawing);
  surface_.present(area);
}

void MainScreen::draw_pixels(const std::function<Rect(Surface&)>& drawing) {
  if (closed_) return;
  surface_.present(drawing(surface_));
}

void MainScreen::request_repaint(const Region& area) {
  frame_to_paint_.add(area);
  surface_.present(area);
}

void MainScreen::paint_frame_if_asked() {
  if (frame_to_paint_.empty()) return;
  const Region area = std::move(frame_to_paint_);
  frame_to_paint_ = Region();
  surface_.paint([&](Canvas& canvas) {
    canvas.set_clip(area);
    paint_window_frame(canvas, state_.display, cross_hover_);
    if (frame_overlay_) frame_overlay_(canvas);
    canvas.clear_clip();
  });
  ++frame_generation_;
  state_.display.ForceRefetch.store(true, std::memory_order_relaxed);
}

void MainScreen::set_foreground(bool foreground) {
  foreground_ = foreground;
  if (!foreground) keyboard_lost();
}

void MainScreen::set_cross_hover(CrossHover hover) {
  if (cross_hover_ == hover) return;
  cross_hover_ = hover;
  draw(kCloseArea, [&](Canvas& canvas) { draw_close_cross(canvas, state_.display, hover); });
}

void MainScreen::pointer_moved(Point point) {
  if (state_.display.CloseCrossShown.load(std::memory_order_relaxed) != CrossVisibility::Hidden)
    set_cross_hover(kCloseArea.contains(point) ? CrossHover::Inside : CrossHover::Outside);
  state_.display.InfoLine.set(hover_text(hover_area(point)));
}

// The top band is the window's title bar: it moves the window, and other
// buttons do nothing there, even where it overlaps a panel or the meters.
PressOutcome MainScreen::button_pressed(Button button, Point point) {
  if (kDragArea.contains(point)) return button == Button::Left ? PressOutcome::StartDrag : PressOutcome::Handled;
  if (button == Button::Left) left_click(point);
  if (button == Button::Right) right_click(point);
  return PressOutcome::Handled;
}

void MainScreen::left_click(Point point) {
  const Area area = left_click_area(point, controls_);
  switch (area) {
    case Area::VolumeKnob:
    case Area::MicKnob: {
      const bool volume = area == Area::VolumeKnob;
      const float level = knob_level(grown_for_clicks(volume ? controls_.volume : controls_.mic), point);
      if (commands_.set_master_level) {
        commands_.set_master_level(
            volume ? platform::AudioEndpoint::DefaultRender : platform::AudioEndpoint::DefaultCapture, level);
      }
      break;
    }
    case Area::ParamsButton: run(commands_.toggle_params_window); break;
    case Area::Network: run(commands_.toggle_network_window); break;
    case Area::ChannelPanel: run(commands_.toggle_group_window); break;
    case Area::Documentation: run(commands_.open_documentation); break;
    case Area::Picture:
      // The shared picture belongs to a channel; the welcome channel has none.
      if (relay::current_channel(state_.channel) != 0) run(commands_.toggle_picture_window);
      break;
    case Area::VoiceHelp: run(commands_.toggle_companion); break;
    case Area::Credit: run(commands_.show_about_box); break;
    case Area::CloseCross: close(); break;
    default: break;
  }
}

void MainScreen::right_click(Point point) {
  const Area area = right_click_area(point, controls_);
  if (area == Area::None) state_.display.InfoLine.set(kWelcomeText);
  const std::u16string_view text = spoken_text(area);
  if (!text.empty() && commands_.speak) commands_.speak(text);
}

void MainScreen::key_down(Key key) {
  const KeyCommand command = key_command(key);
  switch (command.kind) {
    case KeyCommand::Kind::CloseClient: close(); break;
    case KeyCommand::Kind::Talk:
      state_.talk.set_key(TalkValue::Pressed);
      space_held_ = true;
      break;
    case KeyCommand::Kind::Channel: relay::select_channel(state_.channel, command.channel); break;
    case KeyCommand::Kind::About: run(commands_.show_about_box); break;
    case KeyCommand::Kind::Inactive: run(commands_.show_inactive_key); break;
  }
}

void MainScreen::key_up(Key key) {
  state_.SecondsLeft.store(kCountdownSeconds, std::memory_order_relaxed);
  if (key.name == KeyName::Space) {
    state_.talk.set_key(TalkValue::Released);
    space_held_ = false;
  }
}

// A Space release that goes to another window (a box took the keyboard, the
// member switched windows) would leave the microphone open with nobody
// holding anything: losing the keyboard releases what Space pressed. What the
// speech companion pressed stays pressed.
void MainScreen::keyboard_lost() {
  if (!space_held_) return;
  space_held_ = false;
  state_.talk.set_key(TalkValue::Released);
}

void MainScreen::close() {
  if (closed_) return;
  closed_ = true;
  keyboard_lost();
  if (close_) close_();
}

}  // namespace marvok::screen
