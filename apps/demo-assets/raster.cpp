#include "raster.h"

#include <algorithm>
#include <cstdlib>

#include "graphics/pixels/fps_text.h"

namespace demo {

namespace {

// Letters and a few signs, 7 rows of 5 bits (bit 4 is the leftmost column). Digits come from the
// engine's own frame-counter font.
struct Glyph {
  char c;
  uint8_t rows[7];
};
constexpr Glyph kLetters[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'!', {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'?', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}}, {'\'', {0x04, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00}},
    {'<', {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02}}, {'>', {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08}},
};

const uint8_t* glyphRows(char c) {
  for (const Glyph& g : kLetters)
    if (g.c == c) return g.rows;
  return tarnvik::fpsGlyph(c);
}

}  // namespace

Rgba mix(Rgba a, Rgba b, int t) {
  auto m = [t](int x, int y) { return static_cast<uint8_t>((x * (256 - t) + y * t) / 256); };
  return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), m(a.a, b.a)};
}

Raster::Raster(int width, int height, Rgba fill) : w_(width), h_(height), px_(static_cast<size_t>(width) * height, fill) {}

void Raster::set(int x, int y, Rgba c) {
  if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<size_t>(y) * w_ + x] = c;
}

void Raster::blend(int x, int y, Rgba c) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  Rgba& d = px_[static_cast<size_t>(y) * w_ + x];
  if (c.a == 255 || d.a == 0) {
    d = c;
    return;
  }
  // Source over: the result keeps the larger coverage.
  int a = c.a;
  d.r = static_cast<uint8_t>((c.r * a + d.r * (255 - a)) / 255);
  d.g = static_cast<uint8_t>((c.g * a + d.g * (255 - a)) / 255);
  d.b = static_cast<uint8_t>((c.b * a + d.b * (255 - a)) / 255);
  d.a = static_cast<uint8_t>(a + d.a * (255 - a) / 255);
}

void Raster::verticalGradient(int y0, int y1, Rgba top, Rgba bottom) {
  for (int y = std::max(0, y0); y < std::min(h_, y1); ++y) {
    Rgba c = mix(top, bottom, y1 - y0 > 1 ? (y - y0) * 256 / (y1 - y0 - 1) : 0);
    for (int x = 0; x < w_; ++x) blend(x, y, c);
  }
}

void Raster::rect(int x0, int y0, int x1, int y1, Rgba c) {
  for (int y = std::max(0, y0); y < std::min(h_, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(w_, x1); ++x) blend(x, y, c);
}

void Raster::ellipse(int cx, int cy, int rx, int ry, Rgba c) {
  if (rx <= 0 || ry <= 0) return;
  const int64_t rx2 = int64_t(rx) * rx, ry2 = int64_t(ry) * ry;
  for (int y = -ry; y <= ry; ++y)
    for (int x = -rx; x <= rx; ++x)
      if (int64_t(x) * x * ry2 + int64_t(y) * y * rx2 <= rx2 * ry2) blend(cx + x, cy + y, c);
}

void Raster::ring(int cx, int cy, int r, int thickness, Rgba c) {
  const int outer = r * r, inner = std::max(0, r - thickness) * std::max(0, r - thickness);
  for (int y = -r; y <= r; ++y)
    for (int x = -r; x <= r; ++x) {
      int d = x * x + y * y;
      if (d <= outer && d >= inner) blend(cx + x, cy + y, c);
    }
}

void Raster::triangle(int x0, int y0, int x1, int y1, int x2, int y2, Rgba c) {
  int minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
  int minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
  auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
    return int64_t(bx - ax) * (py - ay) - int64_t(by - ay) * (px - ax);
  };
  for (int y = minY; y <= maxY; ++y)
    for (int x = minX; x <= maxX; ++x) {
      int64_t e0 = edge(x0, y0, x1, y1, x, y), e1 = edge(x1, y1, x2, y2, x, y), e2 = edge(x2, y2, x0, y0, x, y);
      if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0)) blend(x, y, c);
    }
}

void Raster::line(int x0, int y0, int x1, int y1, int thickness, Rgba c) {
  int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
  int r = std::max(1, thickness / 2);
  for (int i = 0; i <= steps; ++i) {
    int x = steps ? x0 + (x1 - x0) * i / steps : x0, y = steps ? y0 + (y1 - y0) * i / steps : y0;
    // Stamp a disc, replacing rather than blending so overlapping stamps keep one coverage.
    for (int dy = -r; dy <= r; ++dy)
      for (int dx = -r; dx <= r; ++dx)
        if (dx * dx + dy * dy <= r * r && x + dx >= 0 && y + dy >= 0 && x + dx < w_ && y + dy < h_) {
          Rgba& d = px_[static_cast<size_t>(y + dy) * w_ + x + dx];
          if (c.a == 255 || d.a == 0) d = c;
        }
  }
}

int Raster::textWidth(std::string_view s, int scale) {
  return s.empty() ? 0 : static_cast<int>(s.size()) * 6 * scale - scale;
}

void Raster::text(int x, int y, int scale, std::string_view s, Rgba c) {
  for (size_t i = 0; i < s.size(); ++i) {
    const uint8_t* rows = glyphRows(s[i]);
    if (!rows) continue;
    int gx = x + static_cast<int>(i) * 6 * scale;
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (rows[row] & (0x10 >> col)) rect(gx + col * scale, y + row * scale, gx + (col + 1) * scale, y + (row + 1) * scale, c);
  }
}

}  // namespace demo
