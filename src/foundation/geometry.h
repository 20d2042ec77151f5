// Plane geometry value types: points, sizes and rectangles in signed 32-bit coordinates.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tarnvik::geometry {
// Coordinates come from game files; sums and differences saturate instead of overflowing.
constexpr int32_t clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
constexpr int32_t add(int32_t a, int32_t b) { return clamp32(static_cast<int64_t>(a) + b); }
constexpr int32_t sub(int32_t a, int32_t b) { return clamp32(static_cast<int64_t>(a) - b); }
}  // namespace tarnvik::geometry

struct CXPoint {
  int32_t x = 0;
  int32_t y = 0;

  constexpr CXPoint() = default;
  constexpr CXPoint(int32_t px, int32_t py) : x(px), y(py) {}

  constexpr CXPoint operator+(const CXPoint& o) const {
    return CXPoint(tarnvik::geometry::add(x, o.x), tarnvik::geometry::add(y, o.y));
  }
  constexpr CXPoint operator-(const CXPoint& o) const {
    return CXPoint(tarnvik::geometry::sub(x, o.x), tarnvik::geometry::sub(y, o.y));
  }
  CXPoint& operator+=(const CXPoint& o) { return *this = *this + o; }
  CXPoint& operator-=(const CXPoint& o) { return *this = *this - o; }
  friend constexpr bool operator==(const CXPoint&, const CXPoint&) = default;
};

struct CXSize {
  int32_t width = 0;
  int32_t height = 0;

  constexpr CXSize() = default;
  constexpr CXSize(int32_t w, int32_t h) : width(w), height(h) {}

  constexpr bool isEmpty() const { return width <= 0 || height <= 0; }
  friend constexpr bool operator==(const CXSize&, const CXSize&) = default;
};

// The columns [left, right) of one row of pixels (left >= right: none).
struct RowSpan {
  int32_t left = 0, right = 0;
};

// Right and bottom are exclusive, as in the platform's rectangles: (0, 0, 2, 2) covers four pixels.
struct CXRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  constexpr CXRect() = default;
  constexpr CXRect(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}
  constexpr CXRect(const CXPoint& origin, const CXSize& size)
      : left(origin.x),
        top(origin.y),
        right(tarnvik::geometry::add(origin.x, size.width)),
        bottom(tarnvik::geometry::add(origin.y, size.height)) {}

  constexpr int32_t width() const { return tarnvik::geometry::sub(right, left); }
  constexpr int32_t height() const { return tarnvik::geometry::sub(bottom, top); }
  constexpr CXSize size() const { return CXSize(width(), height()); }
  constexpr CXPoint topLeft() const { return CXPoint(left, top); }
  constexpr bool isEmpty() const { return right <= left || bottom <= top; }
  constexpr bool contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
  constexpr bool contains(const CXPoint& p) const { return contains(p.x, p.y); }
  constexpr bool intersects(const CXRect& o) const {
    return !isEmpty() && !o.isEmpty() && left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }

  // The common part; an empty rectangle (all zero) when there is none.
  constexpr CXRect intersection(const CXRect& o) const {
    if (!intersects(o)) return CXRect();
    return CXRect(std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom));
  }
  // The smallest rectangle holding both; an empty operand does not count.
  constexpr CXRect united(const CXRect& o) const {
    if (isEmpty()) return o;
    if (o.isEmpty()) return *this;
    return CXRect(std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom));
  }
  void offset(int32_t dx, int32_t dy) {
    using tarnvik::geometry::add;
    left = add(left, dx);
    right = add(right, dx);
    top = add(top, dy);
    bottom = add(bottom, dy);
  }
  // Swaps edges given in the wrong order so that left <= right and top <= bottom.
  void normalize() {
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
  }
  friend constexpr bool operator==(const CXRect&, const CXRect&) = default;
};
