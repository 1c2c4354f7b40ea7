#pragma once

#include <algorithm>
#include <vector>

namespace marvok::screen {

// Positions and sizes in pixels, y growing downward.
struct Point {
  int x = 0;
  int y = 0;

  friend Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
  friend Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
  friend bool operator==(Point, Point) = default;
};

struct Size {
  int width = 0;
  int height = 0;

  bool empty() const { return width <= 0 || height <= 0; }
  friend bool operator==(Size, Size) = default;
};

// A rectangle of whole pixels: `right()` and `bottom()` are its last column
// and row, inside it, so a rectangle of width 0 has its right edge left of
// its left one and holds nothing.
struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  constexpr Rect() = default;
  constexpr Rect(int left, int top, int w, int h) : x(left), y(top), width(w), height(h) {}
  constexpr Rect(Point top_left, Size size) : x(top_left.x), y(top_left.y), width(size.width), height(size.height) {}
  // Given by its left, top, right and bottom edges, right and bottom excluded.
  static constexpr Rect edges(int left, int top, int right, int bottom) {
    return {left, top, right - left, bottom - top};
  }

  constexpr int left() const { return x; }
  constexpr int top() const { return y; }
  constexpr int right() const { return x + width - 1; }
  constexpr int bottom() const { return y + height - 1; }
  constexpr Point top_left() const { return {x, y}; }
  constexpr Size size() const { return {width, height}; }
  constexpr bool empty() const { return width <= 0 || height <= 0; }

  constexpr bool contains(Point p) const {
    return !empty() && p.x >= x && p.x <= right() && p.y >= y && p.y <= bottom();
  }
  // Each edge moved by its own amount: left and top by the first two, right and bottom by the last two.
  constexpr Rect adjusted(int dl, int dt, int dr, int db) const {
    return {x + dl, y + dt, width - dl + dr, height - dt + db};
  }
  constexpr Rect translated(Point by) const { return {x + by.x, y + by.y, width, height}; }
  // The smallest rectangle holding both; an empty one adds nothing.
  constexpr Rect united(const Rect& other) const {
    if (empty()) return other;
    if (other.empty()) return *this;
    const int left = std::min(x, other.x), top = std::min(y, other.y);
    return edges(left, top, std::max(right(), other.right()) + 1, std::max(bottom(), other.bottom()) + 1);
  }
  constexpr Rect intersected(const Rect& other) const {
    const int left = std::max(x, other.x), top = std::max(y, other.y);
    const int end_x = std::min(right(), other.right()) + 1, end_y = std::min(bottom(), other.bottom()) + 1;
    if (end_x <= left || end_y <= top) return {};
    return edges(left, top, end_x, end_y);
  }

  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

// A set of rectangles to show or repaint, kept as the rectangles added (they
// may overlap).
class Region {
 public:
  Region() = default;
  Region(const Rect& rect) { add(rect); }  // NOLINT(google-explicit-constructor): a rectangle is a region

  void add(const Rect& rect) {
    if (!rect.empty()) rects_.push_back(rect);
  }
  void add(const Region& other) {
    for (const Rect& rect : other.rects_) rects_.push_back(rect);
  }
  bool empty() const { return rects_.empty(); }
  const std::vector<Rect>& rects() const { return rects_; }
  Rect bounds() const {
    Rect all;
    for (const Rect& rect : rects_) all = all.united(rect);
    return all;
  }
  bool contains(Point p) const {
    return std::ranges::any_of(rects_, [p](const Rect& rect) { return rect.contains(p); });
  }

 private:
  std::vector<Rect> rects_;
};

}  // namespace marvok::screen
