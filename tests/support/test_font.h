// A small bitmap font for tests: solid letter blocks between known margins, one kerning pair, so a
// test can say where each letter's pixels must land.
#pragma once

#include <cstdint>
#include <iterator>
#include <vector>

#include "files/bytereader.h"

namespace tarnvik::testfont {

// The test font: 8-pixel cells 10 rows high, each letter a solid block of its own colour between
// its margins; kerning (A, V) = 2.
struct Glyph {
  char c;
  int left, right;
  uint16_t colour;
};
constexpr int kCell = 8, kHeight = 10, kKernAV = 2;
constexpr Glyph kGlyphs[] = {{'A', 1, 2, 0xF800}, {'V', 0, 1, 0x07E0}, {'B', 1, 1, 0xFFE0}, {'l', 2, 3, 0x001F}};

inline const Glyph& glyph(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return g;
  return kGlyphs[0];
}
inline int ink(char c) { return kCell - glyph(c).left - glyph(c).right; }

inline std::vector<uint8_t> testFontFile() {
  const int n = static_cast<int>(std::size(kGlyphs)), w = kCell * n;
  tarnvik::ByteWriter out;
  out.u32(0);
  out.i32(w);
  out.i32(kHeight);
  out.i32(16);
  out.i32(n);
  for (const Glyph& g : kGlyphs) out.u8(static_cast<uint8_t>(g.c));
  for (int p = 0; p < n; ++p)
    for (int c = 0; c < n; ++c) out.u8(kGlyphs[p].c == 'A' && kGlyphs[c].c == 'V' ? kKernAV : 0);
  for (const Glyph& g : kGlyphs) out.u8(static_cast<uint8_t>(g.left));
  for (const Glyph& g : kGlyphs) out.u8(static_cast<uint8_t>(g.right));
  auto inside = [](int x) {
    const Glyph& g = kGlyphs[x / kCell];
    return x % kCell >= g.left && x % kCell < kCell - g.right;
  };
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < w; ++x) out.u16(inside(x) ? kGlyphs[x / kCell].colour : 0);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < w; ++x) out.u8(inside(x) ? 255 : 0);
  return out.take();
}

}  // namespace tarnvik::testfont
