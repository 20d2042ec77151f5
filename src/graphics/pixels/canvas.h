// Pixel copies between drawables: plain, alpha, alpha as mask, blended by opacity, and onto a
// canvas that keeps its own alpha plane. 16-bit sources into 15, 16 or 32-bit destinations.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "foundation/geometry.h"

// One side of a pixel copy.
struct _canvas {
  void* pixels = nullptr;     // row 0, column 0 of the surface
  uint8_t* alpha = nullptr;   // alpha plane with the same row length, or null
  int bpp = 16;               // 15, 16, 24 or 32
  int x = 0, y = 0;           // source only: its position in the destination
  int width = 0, height = 0;  // width is the row length in pixels
  CXRect clip;                // source only: the part of the source to copy (empty = all of it)
  // Destination only: per destination row (from row 0), the columns a copy may write; null = all.
  // The refresh manager recomposes only the pixels a change can have touched.
  const RowSpan* window = nullptr;
};

namespace tarnvik::canvas {

// Kernels over a rectangle: `rows` rows of n pixels, the source and its alpha plane stepping by sStep
// pixels from one row to the next, the destination by dStep (one call per copy, so that a clipped
// draw of many short rows pays its set-up once). The blends follow one rule per channel c (5 or 6 bits):
//   blend(s, t, w) = (t * 256 + (s - t) * w) >> 8
// alpha:       a == 0 skip, a == 255 copy, else min(blend(s, t, a) + 1, channel max)
// blend:       w = opacity (0 skips the row), blend(s, t, w)
// alphaBlend:  v = a * opacity; only when v > 255: blend(s, t, v >> 8)
// With a window (see Window) each row is cut to its span; without one every row is written whole.
struct Window {
  const RowSpan* rows = nullptr;  // the span of the rectangle's first row, then one per row
  int x = 0;                      // the destination column of the rectangle's first pixel
};
struct Kernels {
  using Alpha = void (*)(const uint16_t* s, const uint8_t* a, size_t sStep, uint16_t* d, size_t dStep, int n, int rows,
                         Window window);
  using Blend = void (*)(const uint16_t* s, size_t sStep, uint16_t* d, size_t dStep, int n, int rows, int opacity,
                         Window window);
  using AlphaBlend = void (*)(const uint16_t* s, const uint8_t* a, size_t sStep, uint16_t* d, size_t dStep, int n,
                              int rows, int opacity, Window window);
  Alpha alpha16, alpha15;
  Blend blend16, blend15;
  AlphaBlend alphaBlend16, alphaBlend15;
};

// Calls row(r, from, to) for the columns [from, to) of each row r of a rectangle n pixels wide that
// the window lets a copy write: every row whole without a window, rows cut to nothing skipped.
template <typename Row>
inline void forEachRow(int n, int rows, Window window, Row&& row) {
  if (!window.rows) {
    for (int r = 0; r < rows; ++r) row(r, 0, n);
    return;
  }
  for (int r = 0; r < rows; ++r) {
    const int from = std::max(0, window.rows[r].left - window.x), to = std::min(n, window.rows[r].right - window.x);
    if (from < to) row(r, from, to);
  }
}

// A rectangle's rows through a row rule, each cut to the window: the one walk every kernel table
// builds its entries from (with an alpha plane, without one, with both an alpha plane and opacity).
template <void (*Row)(const uint16_t*, const uint8_t*, uint16_t*, int)>
void alphaRowsOf(const uint16_t* s, const uint8_t* a, size_t sStep, uint16_t* d, size_t dStep, int n, int rows,
                 Window window) {
  forEachRow(n, rows, window, [&](int r, int from, int to) {
    const size_t sAt = r * sStep + from;
    Row(s + sAt, a + sAt, d + r * dStep + from, to - from);
  });
}
template <void (*Row)(const uint16_t*, uint16_t*, int, int)>
void blendRowsOf(const uint16_t* s, size_t sStep, uint16_t* d, size_t dStep, int n, int rows, int opacity,
                 Window window) {
  forEachRow(n, rows, window,
             [&](int r, int from, int to) { Row(s + r * sStep + from, d + r * dStep + from, to - from, opacity); });
}
template <void (*Row)(const uint16_t*, const uint8_t*, uint16_t*, int, int)>
void alphaBlendRowsOf(const uint16_t* s, const uint8_t* a, size_t sStep, uint16_t* d, size_t dStep, int n, int rows,
                      int opacity, Window window) {
  forEachRow(n, rows, window, [&](int r, int from, int to) {
    const size_t sAt = r * sStep + from;
    Row(s + sAt, a + sAt, d + r * dStep + from, to - from, opacity);
  });
}

// The portable kernels, the reference for every faster path.
const Kernels& scalarKernels();
// The fastest kernels this processor runs (SSE2 on x86-64); entries without a faster form are scalar.
const Kernels& simdKernels();
// The kernels the copies below use: SIMD unless switched off (tests compare both).
const Kernels& activeKernels();
void useSimd(bool on);

// The copies. The source's clip (or its whole size) is drawn at (x + clip.left, y + clip.top) of the
// destination, further cut to the destination's bounds, so nothing is ever written outside it.
// Each returns false when nothing could be drawn for a reason other than an empty area
// (no pixels, unsupported depths).
bool copyPlain(const _canvas& src, const _canvas& dst);
bool copyAlpha(const _canvas& src, const _canvas& dst);
bool copyAlphaAsMask(const _canvas& src, const _canvas& dst);
// Opacity 0-255 (values outside are clamped). With a source alpha plane the alpha-blend rule applies.
bool copyBlend(const _canvas& src, const _canvas& dst, int opacity);
// Onto a destination with its own alpha plane (15 or 16-bit, same depth as the source).
bool copyToCanvas(const _canvas& src, const _canvas& dst);

// The largest rectangle of alpha 255 in a plane of width × height (rows of the width); empty when none.
CXRect largestOpaqueRect(const uint8_t* alpha, int width, int height);

// 5-6-5 or 5-5-5 pixel to 0x00RRGGBB with the low bits zero (the display's 32-bit conversion).
uint32_t to32(uint16_t pixel, int bpp);

}  // namespace tarnvik::canvas
