// Pixel copies between drawables and the portable row kernels they run.
#include "graphics/pixels/canvas.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarnvik::canvas {
namespace {

// Channel layout of a 16-bit pixel: shifts and maxima of red, green and blue.
struct Layout {
  int rs, gs;      // red and green shifts (blue is at 0)
  int rmax, gmax;  // 31 and 63 (5-6-5) or 31 and 31 (5-5-5)
};
constexpr Layout k565{11, 5, 31, 63};
constexpr Layout k555{10, 5, 31, 31};

inline int blendChannel(int s, int t, int w) { return (t * 256 + (s - t) * w) >> 8; }

template <const Layout& L>
inline uint16_t alphaPixel(uint16_t s, uint16_t t, int a) {
  int r = std::min(blendChannel((s >> L.rs) & L.rmax, (t >> L.rs) & L.rmax, a) + 1, L.rmax);
  int g = std::min(blendChannel((s >> L.gs) & L.gmax, (t >> L.gs) & L.gmax, a) + 1, L.gmax);
  int b = std::min(blendChannel(s & 31, t & 31, a) + 1, 31);
  return static_cast<uint16_t>((r << L.rs) | (g << L.gs) | b);
}

template <const Layout& L>
inline uint16_t blendPixel(uint16_t s, uint16_t t, int w) {
  int r = blendChannel((s >> L.rs) & L.rmax, (t >> L.rs) & L.rmax, w) & L.rmax;
  int g = blendChannel((s >> L.gs) & L.gmax, (t >> L.gs) & L.gmax, w) & L.gmax;
  int b = blendChannel(s & 31, t & 31, w) & 31;
  return static_cast<uint16_t>((r << L.rs) | (g << L.gs) | b);
}

template <const Layout& L>
void alphaRow(const uint16_t* s, const uint8_t* a, uint16_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    int w = a[i];
    if (w == 0) continue;
    d[i] = w == 255 ? s[i] : alphaPixel<L>(s[i], d[i], w);
  }
}

template <const Layout& L>
void blendRow(const uint16_t* s, uint16_t* d, int n, int opacity) {
  if (opacity <= 0) return;
  for (int i = 0; i < n; ++i) d[i] = blendPixel<L>(s[i], d[i], opacity);
}

template <const Layout& L>
void alphaBlendRow(const uint16_t* s, const uint8_t* a, uint16_t* d, int n, int opacity) {
  for (int i = 0; i < n; ++i) {
    int v = a[i] * opacity;
    if (v > 255) d[i] = blendPixel<L>(s[i], d[i], v >> 8);
  }
}

// 32-bit destinations: 8-bit channels of 0x00RRGGBB.
inline uint32_t blend32(uint32_t s, uint32_t t, int w, bool plusOne) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    int c = blendChannel(static_cast<int>((s >> shift) & 0xFF), static_cast<int>((t >> shift) & 0xFF), w);
    c = plusOne ? std::min(c + 1, 255) : (c & 0xFF);
    out |= static_cast<uint32_t>(c) << shift;
  }
  return out;
}

const Kernels kScalar{alphaRowsOf<alphaRow<k565>>,      alphaRowsOf<alphaRow<k555>>,
                      blendRowsOf<blendRow<k565>>,      blendRowsOf<blendRow<k555>>,
                      alphaBlendRowsOf<alphaBlendRow<k565>>, alphaBlendRowsOf<alphaBlendRow<k555>>};
bool g_useSimd = true;

// The part of the source that lands inside the destination.
struct Area {
  int sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
};

bool resolve(const _canvas& s, const _canvas& d, Area& area) {
  if (!s.pixels || !d.pixels || s.width <= 0 || s.height <= 0 || d.width <= 0 || d.height <= 0) return false;
  CXRect whole(0, 0, s.width, s.height);
  CXRect c = s.clip.isEmpty() ? whole : s.clip.intersection(whole);
  if (c.isEmpty()) return false;
  int64_t dx = static_cast<int64_t>(s.x) + c.left, dy = static_cast<int64_t>(s.y) + c.top;
  int64_t sx = c.left, sy = c.top, w = c.width(), h = c.height();
  if (dx < 0) {
    sx -= dx;
    w += dx;
    dx = 0;
  }
  if (dy < 0) {
    sy -= dy;
    h += dy;
    dy = 0;
  }
  w = std::min<int64_t>(w, d.width - dx);
  h = std::min<int64_t>(h, d.height - dy);
  if (w <= 0 || h <= 0) return false;
  area = Area{static_cast<int>(sx), static_cast<int>(sy), static_cast<int>(dx), static_cast<int>(dy),
              static_cast<int>(w), static_cast<int>(h)};
  return true;
}

bool is16(int bpp) { return bpp == 15 || bpp == 16; }

template <typename T>
T* rowOf(void* base, int rowLength, int x, int y) {
  return static_cast<T*>(base) + static_cast<size_t>(y) * rowLength + x;
}
const uint8_t* alphaRowOf(const uint8_t* base, int rowLength, int x, int y) {
  return base + static_cast<size_t>(y) * rowLength + x;
}

enum class Mode { plain, alpha, mask, blend, alphaBlend };

// The rows of one copy: pointers to the first row's first pixel, stepped by the row lengths.
struct Rows {
  const uint16_t* s;
  const uint8_t* a;  // null without an alpha plane
  size_t sStep, dStep;
  int w, h;
};

// 16-bit sources into a 32-bit destination, pixel by pixel (a rare path: the copies' own reference).
void copyRows32(const Rows& r, uint32_t* dp, int bpp, Mode mode, int opacity, Window window) {
  forEachRow(r.w, r.h, window, [&](int row, int from, int to) {
    const uint16_t* sp = r.s + row * r.sStep;
    const uint8_t* ap = r.a ? r.a + row * r.sStep : nullptr;
    uint32_t* out = dp + row * r.dStep;
    for (int i = from; i < to; ++i) {
      uint32_t sv = to32(sp[i], bpp);
      switch (mode) {
        case Mode::plain: out[i] = sv; break;
        case Mode::mask:
          if (ap[i]) out[i] = sv;
          break;
        case Mode::alpha:
          if (ap[i] == 255) out[i] = sv;
          else if (ap[i]) out[i] = blend32(sv, out[i], ap[i], true);
          break;
        case Mode::blend:
          if (opacity > 0) out[i] = blend32(sv, out[i], opacity, false);
          break;
        case Mode::alphaBlend: {
          int v = ap[i] * opacity;
          if (v > 255) out[i] = blend32(sv, out[i], v >> 8, false);
          break;
        }
      }
    }
  });
}

// 16-bit rows of the same layout: one kernel call for the whole rectangle (clipped draws are many
// short rows).
void copyRows16(const Rows& r, uint16_t* dp, bool is565, Mode mode, int opacity, Window window) {
  const Kernels& k = activeKernels();
  const uint16_t* sp = r.s;
  const uint8_t* ap = r.a;
  switch (mode) {
    case Mode::plain:
      forEachRow(r.w, r.h, window, [&](int row, int from, int to) {
        std::memcpy(dp + row * r.dStep + from, sp + row * r.sStep + from, static_cast<size_t>(to - from) * sizeof(uint16_t));
      });
      break;
    case Mode::mask:
      forEachRow(r.w, r.h, window, [&](int row, int from, int to) {
        const uint16_t* s = sp + row * r.sStep;
        const uint8_t* a = ap + row * r.sStep;
        uint16_t* d = dp + row * r.dStep;
        for (int i = from; i < to; ++i)
          if (a[i]) d[i] = s[i];
      });
      break;
    case Mode::alpha: (is565 ? k.alpha16 : k.alpha15)(sp, ap, r.sStep, dp, r.dStep, r.w, r.h, window); break;
    case Mode::blend: (is565 ? k.blend16 : k.blend15)(sp, r.sStep, dp, r.dStep, r.w, r.h, opacity, window); break;
    case Mode::alphaBlend:
      (is565 ? k.alphaBlend16 : k.alphaBlend15)(sp, ap, r.sStep, dp, r.dStep, r.w, r.h, opacity, window);
      break;
  }
}

// The destination's window from the rectangle's first row on (none without one).
Window windowAt(const _canvas& d, int x, int y) { return d.window ? Window{d.window + y, x} : Window{}; }

bool run(const _canvas& s, const _canvas& d, Mode mode, int opacity) {
  if (!is16(s.bpp) || !s.pixels || !d.pixels) return false;
  if ((mode == Mode::alpha || mode == Mode::mask || mode == Mode::alphaBlend) && !s.alpha) mode = Mode::plain;
  if (mode == Mode::blend && s.alpha) mode = Mode::alphaBlend;
  if (d.bpp == 24) return true;  // drawn as nothing, as the 24-bit display path always was
  Area a;
  if (!resolve(s, d, a)) return true;
  const Rows rows{rowOf<uint16_t>(s.pixels, s.width, a.sx, a.sy),
                  s.alpha ? alphaRowOf(s.alpha, s.width, a.sx, a.sy) : nullptr,
                  static_cast<size_t>(s.width),
                  static_cast<size_t>(d.width),
                  a.w,
                  a.h};
  if (d.bpp == 32) {
    copyRows32(rows, rowOf<uint32_t>(d.pixels, d.width, a.dx, a.dy), s.bpp, mode, opacity, windowAt(d, a.dx, a.dy));
    return true;
  }
  if (!is16(d.bpp) || d.bpp != s.bpp) return false;
  copyRows16(rows, rowOf<uint16_t>(d.pixels, d.width, a.dx, a.dy), s.bpp == 16, mode, opacity,
             windowAt(d, a.dx, a.dy));
  return true;
}

}  // namespace

const Kernels& scalarKernels() { return kScalar; }
const Kernels& activeKernels() { return g_useSimd ? simdKernels() : kScalar; }
void useSimd(bool on) { g_useSimd = on; }

// The largest rectangle of alpha 255: per row, the runs of 255 ending there in each column form a
// histogram whose largest rectangle a stack of rising runs finds in one pass.
CXRect largestOpaqueRect(const uint8_t* alpha, int width, int height) {
  std::vector<int> run(static_cast<size_t>(width) + 1, 0);  // the last column stays 0: it empties the stack
  std::vector<int> rising;
  rising.reserve(run.size());
  int64_t best = 0;
  CXRect found;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = alpha + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) run[x] = row[x] == 255 ? run[x] + 1 : 0;
    rising.clear();
    for (int x = 0; x <= width; ++x) {
      while (!rising.empty() && run[rising.back()] >= run[x]) {
        const int h = run[rising.back()];
        rising.pop_back();
        const int left = rising.empty() ? 0 : rising.back() + 1;
        if (static_cast<int64_t>(h) * (x - left) > best) {
          best = static_cast<int64_t>(h) * (x - left);
          found = CXRect(left, y + 1 - h, x, y + 1);
        }
      }
      rising.push_back(x);
    }
  }
  return found;
}

uint32_t to32(uint16_t p, int bpp) {
  if (bpp == 15) {
    uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    return (r << 19) | (g << 11) | (b << 3);
  }
  // The display's conversion table entry: ((((p & 0xF800) << 3) | (p & 0x07E0)) << 2 | (p & 0x001F)) << 3.
  return ((((static_cast<uint32_t>(p) & 0xF800u) << 3) | (p & 0x07E0u)) << 2 | (p & 0x001Fu)) << 3;
}

bool copyPlain(const _canvas& s, const _canvas& d) { return run(s, d, Mode::plain, 255); }
bool copyAlpha(const _canvas& s, const _canvas& d) { return run(s, d, Mode::alpha, 255); }
bool copyAlphaAsMask(const _canvas& s, const _canvas& d) { return run(s, d, Mode::mask, 255); }
bool copyBlend(const _canvas& s, const _canvas& d, int opacity) {
  return run(s, d, Mode::blend, std::clamp(opacity, 0, 255));
}

bool copyToCanvas(const _canvas& s, const _canvas& d) {
  if (!is16(s.bpp) || s.bpp != d.bpp || !d.alpha || !s.pixels || !d.pixels) return false;
  Area a;
  if (!resolve(s, d, a)) return true;
  forEachRow(a.w, a.h, windowAt(d, a.dx, a.dy), [&](int row, int from, int to) {
    const uint16_t* sp = rowOf<uint16_t>(s.pixels, s.width, a.sx, a.sy + row);
    const uint8_t* ap = s.alpha ? alphaRowOf(s.alpha, s.width, a.sx, a.sy + row) : nullptr;
    uint16_t* dp = rowOf<uint16_t>(d.pixels, d.width, a.dx, a.dy + row);
    uint8_t* da = d.alpha + static_cast<size_t>(a.dy + row) * d.width + a.dx;
    for (int i = from; i < to; ++i) {
      int sa = ap ? ap[i] : 255;  // no alpha plane: every pixel opaque
      if (sa == 0) continue;
      if (sa == 255) {
        dp[i] = sp[i];
        da[i] = 255;
      } else if (da[i] == 0) {
        dp[i] = sp[i];
        da[i] = static_cast<uint8_t>(sa);
      } else {
        dp[i] = s.bpp == 16 ? alphaPixel<k565>(sp[i], dp[i], sa) : alphaPixel<k555>(sp[i], dp[i], sa);
        da[i] = static_cast<uint8_t>(std::min(255, da[i] + sa));
      }
    }
  });
  return true;
}

}  // namespace tarnvik::canvas
