// The SIMD row kernels against the scalar ones: random rows of every length up to 100 at every
// alignment, and every channel pair at every weight, in both 16-bit layouts.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "graphics/pixels/canvas.h"

namespace {

using tarnvik::canvas::Kernels;
using tarnvik::canvas::scalarKernels;
using tarnvik::canvas::simdKernels;
using tarnvik::canvas::Window;

using Pixels = std::vector<uint16_t>;
using Alpha = std::vector<uint8_t>;

// Which kernel of the table, with the layout; opacity is ignored by the alpha copy.
enum class Kind { alpha, blend, alphaBlend };

void runKernel(const Kernels& k, Kind kind, bool is565, const uint16_t* s, const uint8_t* a, uint16_t* d, int n,
               int opacity) {
  // One row: the steps are never taken.
  const size_t step = static_cast<size_t>(n);
  switch (kind) {
    case Kind::alpha: (is565 ? k.alpha16 : k.alpha15)(s, a, step, d, step, n, 1, {}); break;
    case Kind::blend: (is565 ? k.blend16 : k.blend15)(s, step, d, step, n, 1, opacity, {}); break;
    case Kind::alphaBlend: (is565 ? k.alphaBlend16 : k.alphaBlend15)(s, a, step, d, step, n, 1, opacity, {}); break;
  }
}

// Runs both kernels over the same row (from `offset` on, `n` pixels) and describes the first difference.
std::string compare(Kind kind, bool is565, const Pixels& s, const Alpha& a, const Pixels& d, size_t offset, int n,
                    int opacity) {
  Pixels want = d, got = d;
  runKernel(scalarKernels(), kind, is565, s.data() + offset, a.data() + offset, want.data() + offset, n, opacity);
  runKernel(simdKernels(), kind, is565, s.data() + offset, a.data() + offset, got.data() + offset, n, opacity);
  for (size_t i = 0; i < d.size(); ++i) {
    if (want[i] != got[i]) {
      return "pixel " + std::to_string(i) + " of " + std::to_string(d.size()) + " (row from " +
             std::to_string(offset) + ", " + std::to_string(n) + " long): s=" + std::to_string(s[i]) +
             " a=" + std::to_string(a[i]) + " d=" + std::to_string(d[i]) + " opacity=" + std::to_string(opacity) +
             " scalar=" + std::to_string(want[i]) + " simd=" + std::to_string(got[i]);
    }
  }
  return "";
}

// Alpha values as sprites have them: long transparent and opaque runs, soft values between.
Alpha randomAlpha(std::mt19937& random, size_t size) {
  Alpha a(size);
  size_t i = 0;
  while (i < size) {
    size_t run = 1 + random() % 20;
    int kind = static_cast<int>(random() % 4);
    for (size_t j = 0; j < run && i < size; ++j, ++i)
      a[i] = kind == 0 ? 0 : kind == 1 ? 255 : kind == 2 ? static_cast<uint8_t>(random()) : (random() % 2 ? 0 : 255);
  }
  return a;
}

Pixels randomPixels(std::mt19937& random, size_t size) {
  Pixels p(size);
  for (uint16_t& v : p) v = static_cast<uint16_t>(random());
  return p;
}

TEST(CanvasSimdTest, RandomRowsMatchScalarAtEveryLengthAndAlignment) {
  std::mt19937 random(8);
  constexpr size_t kSize = 120;  // room for a 100-pixel row at any offset up to 15
  for (bool is565 : {true, false}) {
    for (int opacity = -2; opacity <= 258; ++opacity) {
      for (int round = 0; round < 6; ++round) {
        Pixels s = randomPixels(random, kSize), d = randomPixels(random, kSize);
        Alpha a = randomAlpha(random, kSize);
        size_t offset = random() % 16;
        int n = static_cast<int>(random() % 101);
        for (Kind kind : {Kind::alpha, Kind::blend, Kind::alphaBlend}) {
          if (kind == Kind::alpha && opacity != 0) continue;  // the alpha copy has no opacity
          std::string diff = compare(kind, is565, s, a, d, offset, n, opacity);
          ASSERT_EQ(diff, "") << (is565 ? "5-6-5 " : "5-5-5 ") << "kernel " << static_cast<int>(kind);
        }
      }
    }
  }
  // The alpha copy gets as many rows as the opacity kernels together.
  for (bool is565 : {true, false}) {
    for (int round = 0; round < 3000; ++round) {
      Pixels s = randomPixels(random, kSize), d = randomPixels(random, kSize);
      Alpha a = randomAlpha(random, kSize);
      std::string diff = compare(Kind::alpha, is565, s, a, d, random() % 16, static_cast<int>(random() % 101), 0);
      ASSERT_EQ(diff, "") << (is565 ? "5-6-5" : "5-5-5");
    }
  }
}

TEST(CanvasSimdTest, OnlyTheRowIsWritten) {
  // Pixels just before and after the row stay as they were, for every tail length.
  for (bool is565 : {true, false}) {
    for (int n = 0; n <= 24; ++n) {
      Pixels s(40, 0xFFFF), d(40, 0x1234);
      Alpha a(40, 128);
      for (const Kernels* k : {&scalarKernels(), &simdKernels()}) {
        for (Kind kind : {Kind::alpha, Kind::blend, Kind::alphaBlend}) {
          Pixels out = d;
          runKernel(*k, kind, is565, s.data() + 3, a.data() + 3, out.data() + 3, n, 200);
          for (int i = 0; i < 40; ++i) {
            if (i < 3 || i >= 3 + n) {
              ASSERT_EQ(out[i], 0x1234) << "pixel " << i << " of a row of " << n;
            }
          }
        }
      }
    }
  }
}

TEST(CanvasSimdTest, AWindowCutsEveryRowOfARectangleToItsSpan) {
  // A 30 x 6 rectangle at destination column 5 of rows 40 wide. Row spans: whole, cut on both sides,
  // empty, reversed, starting left of the rectangle, ending right of it. Inside its span a row gets
  // what a copy without a window gives; outside it stays as it was.
  constexpr int kW = 40, kRows = 6, kX = 5, kN = 30;
  const RowSpan spans[kRows] = {{0, 40}, {9, 21}, {12, 12}, {20, 10}, {-3, 8}, {33, 90}};
  Pixels s(kW * kRows), d(kW * kRows);
  Alpha a(kW * kRows);
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
    d[i] = static_cast<uint16_t>(i * 40503u + 77);
    a[i] = static_cast<uint8_t>(i % 3 == 0 ? 255 : i * 37);
  }
  for (bool is565 : {true, false}) {
    for (const Kernels* k : {&scalarKernels(), &simdKernels()}) {
      for (Kind kind : {Kind::alpha, Kind::blend, Kind::alphaBlend}) {
        auto run = [&](Pixels& out, Window window) {
          const uint16_t* sp = s.data() + kX;
          const uint8_t* ap = a.data() + kX;
          uint16_t* dp = out.data() + kX;
          switch (kind) {
            case Kind::alpha: (is565 ? k->alpha16 : k->alpha15)(sp, ap, kW, dp, kW, kN, kRows, window); break;
            case Kind::blend: (is565 ? k->blend16 : k->blend15)(sp, kW, dp, kW, kN, kRows, 150, window); break;
            case Kind::alphaBlend:
              (is565 ? k->alphaBlend16 : k->alphaBlend15)(sp, ap, kW, dp, kW, kN, kRows, 150, window);
              break;
          }
        };
        Pixels whole = d, cut = d;
        run(whole, {});
        run(cut, Window{spans, kX});
        for (int row = 0; row < kRows; ++row)
          for (int x = 0; x < kW; ++x) {
            const size_t at = static_cast<size_t>(row) * kW + x;
            const bool inside = x >= kX && x < kX + kN && x >= spans[row].left && x < spans[row].right;
            ASSERT_EQ(cut[at], inside ? whole[at] : d[at]) << "row " << row << " column " << x;
          }
      }
    }
  }
}

// Every pair of channel values (source and destination, 0..63) once per row: red and blue take the
// low five bits, green all six; in 5-5-5 the unused top bit is set on half of them.
struct ChannelPairs {
  Pixels s, d;
  explicit ChannelPairs(bool is565) {
    for (int sc = 0; sc < 64; ++sc) {
      for (int tc = 0; tc < 64; ++tc) {
        s.push_back(pixel(is565, sc));
        d.push_back(pixel(is565, tc));
      }
    }
  }
  static uint16_t pixel(bool is565, int c) {
    int five = c & 31;
    if (is565) return static_cast<uint16_t>((five << 11) | (c << 5) | (31 - five));
    return static_cast<uint16_t>(((c >> 5) << 15) | (five << 10) | (five << 5) | (31 - five));
  }
};

TEST(CanvasSimdTest, EveryChannelPairAtEveryWeight) {
  for (bool is565 : {true, false}) {
    ChannelPairs pairs(is565);
    const size_t n = pairs.s.size();
    for (int w = 0; w <= 255; ++w) {
      Alpha a(n, static_cast<uint8_t>(w));
      ASSERT_EQ(compare(Kind::alpha, is565, pairs.s, a, pairs.d, 0, static_cast<int>(n), 0), "");
      ASSERT_EQ(compare(Kind::blend, is565, pairs.s, a, pairs.d, 0, static_cast<int>(n), w), "");
      // Every alpha meets every opacity, over changing channel pairs.
      for (size_t i = 0; i < n; ++i) a[i] = static_cast<uint8_t>(i + w * 7);
      ASSERT_EQ(compare(Kind::alphaBlend, is565, pairs.s, a, pairs.d, 0, static_cast<int>(n), w), "");
    }
  }
}

}  // namespace
