// A small RGBA drawing surface for the demo's art: gradients, shapes, a block font. Everything is
// integer arithmetic or exactly rounded, so the same program draws the same bytes everywhere.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace demo {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
};

// A colour from computed channels, each clamped to 0..255.
inline Rgba rgb(int r, int g, int b, int a = 255) {
  auto c = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  return {c(r), c(g), c(b), c(a)};
}

// Linear mix of two colours, t in 0..256.
Rgba mix(Rgba a, Rgba b, int t);

class Raster {
 public:
  Raster(int width, int height, Rgba fill = {0, 0, 0, 0});
  int width() const { return w_; }
  int height() const { return h_; }
  Rgba at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }
  // Paints one pixel over what is there (source-over with the colour's alpha); outside is ignored.
  void blend(int x, int y, Rgba c);
  // Replaces one pixel, alpha included.
  void set(int x, int y, Rgba c);

  void verticalGradient(int y0, int y1, Rgba top, Rgba bottom);
  void rect(int x0, int y0, int x1, int y1, Rgba c);  // x1, y1 exclusive
  void ellipse(int cx, int cy, int rx, int ry, Rgba c);
  void circle(int cx, int cy, int r, Rgba c) { ellipse(cx, cy, r, r, c); }
  void ring(int cx, int cy, int r, int thickness, Rgba c);
  void triangle(int x0, int y0, int x1, int y1, int x2, int y2, Rgba c);
  void line(int x0, int y0, int x1, int y1, int thickness, Rgba c);
  // Block text: 5 x 7 glyphs scaled by `scale`, a one-pixel (scaled) gap between letters.
  void text(int x, int y, int scale, std::string_view s, Rgba c);
  static int textWidth(std::string_view s, int scale);
  // Centred horizontally on cx.
  void textCentered(int cx, int y, int scale, std::string_view s, Rgba c) { text(cx - textWidth(s, scale) / 2, y, scale, s, c); }

 private:
  int w_, h_;
  std::vector<Rgba> px_;
};

// Deterministic pseudo-random numbers for scattered details (stars, grass).
class Dice {
 public:
  explicit Dice(uint32_t seed) : s_(seed ? seed : 1) {}
  uint32_t next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  int below(int n) { return n > 0 ? static_cast<int>(next() % static_cast<uint32_t>(n)) : 0; }

 private:
  uint32_t s_;
};

}  // namespace demo
