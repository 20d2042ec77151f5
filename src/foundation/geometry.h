// Plane geometry value types: points, sizes and rectangles in signed 32-bit coordinates.
#pragma once

#include <algorithm>
#include <cstdint>

struct CXPoint {
  int32_t x = 0;
  int32_t y = 0;

  constexpr CXPoint() = default;
  constexpr CXPoint(int32_t px, int32_t py) : x(px), y(py) {}

  constexpr CXPoint operator+(const CXPoint& o) const { return CXPoint(x + o.x, y + o.y); }
  constexpr CXPoint operator-(const CXPoint& o) const { return CXPoint(x - o.x, y - o.y); }
  CXPoint& operator+=(const CXPoint& o) { x += o.x; y += o.y; return *this; }
  CXPoint& operator-=(const CXPoint& o) { x -= o.x; y -= o.y; return *this; }
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

// Right and bottom are exclusive, as in the platform's rectangles: (0, 0, 2, 2) covers four pixels.
struct CXRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  constexpr CXRect() = default;
  constexpr CXRect(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}
  constexpr CXRect(const CXPoint& origin, const CXSize& size)
      : left(origin.x), top(origin.y), right(origin.x + size.width), bottom(origin.y + size.height) {}

  constexpr int32_t width() const { return right - left; }
  constexpr int32_t height() const { return bottom - top; }
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
  void offset(int32_t dx, int32_t dy) { left += dx; right += dx; top += dy; bottom += dy; }
  // Swaps edges given in the wrong order so that left <= right and top <= bottom.
  void normalize() {
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
  }
  friend constexpr bool operator==(const CXRect&, const CXRect&) = default;
};
