#pragma once

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "screen/canvas.h"
#include "screen/surface.h"
#include "screen/tool_window.h"

namespace marvok::screen {

// A canvas that writes down what it is asked to draw, one line per call, so a
// test reads what the screen decided without any toolkit. Pictures are named
// by the test; an unnamed one is written as its size.
class RecordingCanvas final : public Canvas {
 public:
  void name(const Picture& picture, std::string name) { names_[&picture] = std::move(name); }
  std::vector<std::string>& lines() { return lines_; }
  // The lines that start with `prefix`.
  std::vector<std::string> lines_starting(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : lines_)
      if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
  }

  void fill_rect(const Rect& rect, Colour colour) override { add("fill", rect, colour); }
  void fill_vertical_gradient(const Rect& rect, Colour top, Colour bottom) override {
    add("gradient", rect, top, bottom);
  }
  void frame_rect(const Rect& rect, Colour colour) override { add("frame", rect, colour); }
  void rounded_frame(const Rect& rect, int corner, int pen_width, Colour pen, Colour fill) override {
    add("rounded", rect, corner, pen_width, pen, fill);
  }
  void line(Point from, Point to, int width, Colour colour, Antialias antialias) override {
    add("line", from, to, width, colour, antialias == Antialias::On ? "smooth" : "sharp");
  }
  void dot(Point centre, int radius, Colour outline, Colour fill) override {
    add("dot", centre, radius, outline, fill);
  }
  void picture(Point at, const Picture& picture) override { add("picture", at, name_of(picture)); }
  void picture_keyed(Point at, const Picture& picture) override { add("keyed", at, name_of(picture)); }
  void picture_rotated_keyed(Point at, const Picture& picture, double degrees) override {
    add("rotated", at, name_of(picture), degrees);
  }
  void picture_stretched(const Rect& rect, const Picture& picture, Stretch stretch) override {
    add("stretched", rect, name_of(picture), stretch == Stretch::ScaledFirst ? "scaled-first" : "into-rect");
  }
  // Every character 10 pixels wide and the line as tall as the font's cell.
  Size text_size(std::u16string_view text, const Font& font) override {
    return {10 * static_cast<int>(text.size()), font.cell_height};
  }
  Rect text_at(Point at, std::u16string_view text, const Font& font, Colour colour,
               std::optional<Colour> ground) override {
    add("text", at, narrow(text), font.cell_height, colour, ground ? describe(*ground) : "-");
    return Rect(at, text_size(text, font));
  }
  void text_centred(const Rect& box, std::u16string_view text, const Font& font, Colour colour,
                    std::optional<Colour> ground, TextClip clip) override {
    add("centred", box, narrow(text), font.cell_height, colour, ground ? describe(*ground) : "-",
        clip == TextClip::ToBox ? "clipped" : "unclipped");
  }
  bool device_icon(const Rect& rect, std::u16string_view icon_name, SystemColour) override {
    add("icon", rect, narrow(icon_name));
    return !icon_name.empty();
  }
  Colour system_colour(SystemColour) override { return {200, 200, 200}; }
  void set_clip(const Region& area) override { add("clip", area.bounds()); }
  void clear_clip() override { add("unclip"); }

  static std::string narrow(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
  }
  static std::string describe(Colour c) {
    std::ostringstream out;
    out << '#' << std::hex << (c.pixel() & 0xFFFFFF);
    return out.str();
  }
  static std::string describe(Point p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
  static std::string describe(const Rect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + "+" + std::to_string(r.width) + "x" +
           std::to_string(r.height);
  }

 private:
  template <typename Value>
  static std::string part(const Value& value) {
    if constexpr (std::is_same_v<Value, Colour> || std::is_same_v<Value, Point> || std::is_same_v<Value, Rect>) {
      return describe(value);
    } else if constexpr (std::is_arithmetic_v<Value>) {
      std::ostringstream out;
      out << value;
      return out.str();
    } else {
      return std::string(value);
    }
  }
  template <typename... Values>
  void add(const char* what, const Values&... values) {
    std::string line = what;
    ((line += ' ', line += part(values)), ...);
    lines_.push_back(std::move(line));
  }
  std::string name_of(const Picture& picture) const {
    const auto found = names_.find(&picture);
    if (found != names_.end()) return found->second;
    return std::to_string(picture.width) + "x" + std::to_string(picture.height);
  }

  std::map<const Picture*, std::string> names_;
  std::vector<std::string> lines_;
};

// A surface of real pixels whose drawing is recorded rather than done: what
// `pixels` hands out is only what the test or the frost wrote there.
class RecordingSurface final : public Surface {
 public:
  explicit RecordingSurface(Size size)
      : size_(size), pixels_(static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height)) {}

  void paint(const std::function<void(Canvas&)>& drawing) override { drawing(canvas); }
  PixelRows pixels() override { return {pixels_.data(), size_.width, size_}; }
  void present(const Region& area) override { presented.push_back(area.bounds()); }

  RecordingCanvas canvas;
  std::vector<Rect> presented;

 private:
  Size size_;
  std::vector<std::uint32_t> pixels_;
};

// A tool window as its content sees it: a fixed outer size, and the requests counted.
struct RecordingHost final : ToolWindowHost {
  Size outer_size() const override { return outer; }
  void repaint_now() override { ++repaints; }
  void close_window() override { ++closes; }

  Size outer{100, 100};
  int repaints = 0;
  int closes = 0;
};

}  // namespace marvok::screen
