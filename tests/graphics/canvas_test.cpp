// The pixel copies at their edge values, for 15, 16 and 32-bit destinations, with clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/pixels/canvas.h"

using namespace tarnvik::canvas;

namespace {

// Reference rules, written independently of the engine's kernels.
int blendRef(int s, int t, int w) { return (t * 256 + (s - t) * w) >> 8; }

struct Chan {
  int r, g, b;
};
Chan split(uint16_t p, int bpp) {
  return bpp == 16 ? Chan{p >> 11, (p >> 5) & 63, p & 31} : Chan{(p >> 10) & 31, (p >> 5) & 31, p & 31};
}
uint16_t join(Chan c, int bpp) {
  return static_cast<uint16_t>(bpp == 16 ? (c.r << 11) | (c.g << 5) | c.b : (c.r << 10) | (c.g << 5) | c.b);
}
uint16_t alphaRef(uint16_t s, uint16_t t, int a, int bpp) {
  if (a == 0) return t;
  if (a == 255) return s;
  Chan cs = split(s, bpp), ct = split(t, bpp);
  int gmax = bpp == 16 ? 63 : 31;
  return join({std::min(blendRef(cs.r, ct.r, a) + 1, 31), std::min(blendRef(cs.g, ct.g, a) + 1, gmax),
                std::min(blendRef(cs.b, ct.b, a) + 1, 31)},
               bpp);
}
uint16_t blendRefPixel(uint16_t s, uint16_t t, int w, int bpp) {
  Chan cs = split(s, bpp), ct = split(t, bpp);
  return join({blendRef(cs.r, ct.r, w), blendRef(cs.g, ct.g, w), blendRef(cs.b, ct.b, w)}, bpp);
}

// A one-row source of n pixels drawn at (0, 0) of a one-row destination.
struct Row {
  std::vector<uint16_t> src, dst;
  std::vector<uint8_t> alpha;
  int bpp;
  Row(std::vector<uint16_t> s, std::vector<uint16_t> d, std::vector<uint8_t> a, int depth = 16)
      : src(std::move(s)), dst(std::move(d)), alpha(std::move(a)), bpp(depth) {}
  _canvas source() {
    _canvas c;
    c.pixels = src.data();
    c.alpha = alpha.empty() ? nullptr : alpha.data();
    c.bpp = bpp;
    c.width = static_cast<int>(src.size());
    c.height = 1;
    return c;
  }
  _canvas destination() {
    _canvas c;
    c.pixels = dst.data();
    c.bpp = bpp;
    c.width = static_cast<int>(dst.size());
    c.height = 1;
    return c;
  }
};

class CanvasTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { useSimd(GetParam()); }
  void TearDown() override { useSimd(true); }
};

TEST_P(CanvasTest, AlphaCopyAtTheEdgeValues) {
  for (int bpp : {15, 16}) {
    const uint16_t white = bpp == 16 ? 0xFFFF : 0x7FFF;
    const uint16_t mid = join({10, 20, 30}, bpp), other = join({25, 5, 3}, bpp);
    Row row({other, other, mid, white, other, mid}, {mid, mid, mid, white, mid, other}, {0, 255, 1, 1, 254, 128}, bpp);
    const std::vector<uint16_t> before = row.dst;
    ASSERT_TRUE(copyAlpha(row.source(), row.destination()));
    EXPECT_EQ(row.dst[0], before[0]) << "alpha 0 leaves the destination";
    EXPECT_EQ(row.dst[1], other) << "alpha 255 copies exactly";
    EXPECT_EQ(row.dst[2], join({11, 21, 31}, bpp)) << "alpha 1 over the same pixel: one step brighter";
    EXPECT_EQ(row.dst[3], white) << "never beyond the channel maximum";
    EXPECT_EQ(row.dst[4], alphaRef(other, mid, 254, bpp));
    EXPECT_EQ(row.dst[5], alphaRef(mid, other, 128, bpp));
  }
}

TEST_P(CanvasTest, OpacityBlendWithoutAlpha) {
  const uint16_t a = join({31, 0, 17}, 16), b = join({2, 63, 9}, 16);
  for (int opacity : {1, 128, 254}) {
    Row row({a, b}, {b, a}, {});
    ASSERT_TRUE(copyBlend(row.source(), row.destination(), opacity));
    EXPECT_EQ(row.dst[0], blendRefPixel(a, b, opacity, 16)) << opacity;
    EXPECT_EQ(row.dst[1], blendRefPixel(b, a, opacity, 16)) << opacity;
  }
  Row none({a}, {b}, {});
  copyBlend(none.source(), none.destination(), 0);
  EXPECT_EQ(none.dst[0], b) << "opacity 0 draws nothing";
  Row clamped({a}, {b}, {});
  copyBlend(clamped.source(), clamped.destination(), -40);
  EXPECT_EQ(clamped.dst[0], b) << "negative opacity is 0";
}

TEST_P(CanvasTest, OpacityBlendWithAlphaUsesTheProduct) {
  const uint16_t s = join({31, 63, 31}, 16), t = join({0, 0, 0}, 16);
  // alpha * opacity: 255 (skipped), 256 (weight 1), 255 * 254 (weight 253), 0.
  Row row({s, s, s, s}, {t, t, t, t}, {255, 2, 255, 0});
  ASSERT_TRUE(copyBlend(row.source(), row.destination(), 1));
  EXPECT_EQ(row.dst[0], t);
  Row row2({s, s, s, s}, {t, t, t, t}, {1, 2, 255, 0});
  ASSERT_TRUE(copyBlend(row2.source(), row2.destination(), 128));
  EXPECT_EQ(row2.dst[0], t) << "1 * 128 <= 255: skipped";
  EXPECT_EQ(row2.dst[1], blendRefPixel(s, t, 1, 16));
  EXPECT_EQ(row2.dst[2], blendRefPixel(s, t, (255 * 128) >> 8, 16));
  EXPECT_EQ(row2.dst[3], t);
  Row row3({s}, {t}, {255});
  copyBlend(row3.source(), row3.destination(), 254);
  EXPECT_EQ(row3.dst[0], blendRefPixel(s, t, (255 * 254) >> 8, 16)) << "no + 1 in the blended copies";
}

TEST_P(CanvasTest, AlphaAsMaskCopiesEveryNonZeroPixel) {
  Row row({1, 2, 3}, {9, 9, 9}, {0, 1, 255});
  ASSERT_TRUE(copyAlphaAsMask(row.source(), row.destination()));
  EXPECT_EQ(row.dst, (std::vector<uint16_t>{9, 2, 3}));
}

TEST_P(CanvasTest, ThirtyTwoBitDestinations) {
  const uint16_t s = join({31, 63, 31}, 16);
  std::vector<uint16_t> src{s, 0x8410, s};
  std::vector<uint8_t> alpha{255, 255, 1};
  std::vector<uint32_t> dst{0, 0, 0x00F8FCF8};
  _canvas c;
  c.pixels = src.data();
  c.bpp = 16;
  c.width = 3;
  c.height = 1;
  _canvas d;
  d.pixels = dst.data();
  d.bpp = 32;
  d.width = 3;
  d.height = 1;
  ASSERT_TRUE(copyPlain(c, d));
  EXPECT_EQ(dst[0], 0x00F8FCF8u) << "5-6-5 white through the conversion table keeps its low bits zero";
  EXPECT_EQ(dst[1], to32(0x8410, 16));
  EXPECT_EQ(to32(0x8410, 16), ((((0x8410u & 0xF800) << 3) | (0x8410u & 0x07E0)) << 2 | (0x8410u & 0x1F)) << 3);
  c.alpha = alpha.data();
  dst = {0, 0, 0x00F8FCF8};
  ASSERT_TRUE(copyAlpha(c, d));
  EXPECT_EQ(dst[2], 0x00F9FDF9u) << "alpha 1 over the same colour: +1 per 8-bit channel";
  _canvas d24 = d;
  d24.bpp = 24;
  dst = {7, 7, 7};
  EXPECT_TRUE(copyPlain(c, d24)) << "24-bit destinations are reported as done";
  EXPECT_EQ(dst, (std::vector<uint32_t>{7, 7, 7}));
}

TEST_P(CanvasTest, CopyToCanvasKeepsTheDestinationAlpha) {
  const uint16_t s = join({20, 40, 20}, 16), t = join({4, 8, 4}, 16);
  Row row({s, s, s, s}, {t, t, t, t}, {0, 255, 100, 100});
  std::vector<uint8_t> dstAlpha{50, 10, 0, 200};
  _canvas d = row.destination();
  d.alpha = dstAlpha.data();
  ASSERT_TRUE(copyToCanvas(row.source(), d));
  EXPECT_EQ(row.dst[0], t);
  EXPECT_EQ(dstAlpha[0], 50);
  EXPECT_EQ(row.dst[1], s);
  EXPECT_EQ(dstAlpha[1], 255);
  EXPECT_EQ(row.dst[2], s) << "destination alpha 0: copied";
  EXPECT_EQ(dstAlpha[2], 100);
  EXPECT_EQ(row.dst[3], alphaRef(s, t, 100, 16));
  EXPECT_EQ(dstAlpha[3], 255) << "200 + 100 limited to 255";
}

TEST_P(CanvasTest, ClippingAtEveryEdgeNeverWritesOutside) {
  // A 20 x 4 source of distinct values and mixed alpha (whole groups of eight and a tail per row)
  // drawn by every copy into a 24 x 6 destination with guard memory around it, without and with a
  // window on the destination's rows (whole, cut, empty, reversed, reaching past either side).
  constexpr int kW = 20, kH = 4, kDW = 24, kDH = 6;
  std::vector<uint16_t> src(kW * kH);
  std::vector<uint8_t> alpha(kW * kH);
  for (int i = 0; i < kW * kH; ++i) {
    src[static_cast<size_t>(i)] = static_cast<uint16_t>(100 + i * 331);
    alpha[static_cast<size_t>(i)] = static_cast<uint8_t>(i % 9 < 3 ? 0 : i % 9 < 6 ? 255 : i * 47);
  }
  const uint16_t fill = 0xBEEF;
  // Each copy with the value it leaves on a drawn pixel over `fill`.
  struct Copy {
    const char* name;
    bool (*draw)(const _canvas&, const _canvas&);
    uint16_t (*expect)(uint16_t s, int a);
  };
  const Copy copies[] = {
      {"plain", copyPlain, [](uint16_t s, int) { return s; }},
      {"alpha", copyAlpha, [](uint16_t s, int a) { return alphaRef(s, fill, a, 16); }},
      {"mask", copyAlphaAsMask, [](uint16_t s, int a) { return a ? s : fill; }},
      {"alpha at opacity 200", [](const _canvas& c, const _canvas& d) { return copyBlend(c, d, 200); },
       [](uint16_t s, int a) { return a * 200 > 255 ? blendRefPixel(s, fill, (a * 200) >> 8, 16) : fill; }},
  };
  struct Case {
    int x, y;
    CXRect clip;
  };
  const int guard = 64;
  const RowSpan window[kDH] = {{0, 24}, {3, 9}, {5, 5}, {10, 2}, {-4, 6}, {12, 40}};
  for (bool windowed : {false, true})
    for (const Copy& copy : copies)
      for (Case k : {Case{-2, -3, {}}, Case{4, 5, {}}, Case{-2, 1, {}}, Case{1, 1, {1, 1, 3, 2}}, Case{3, -1, {0, 2, 4, 4}},
                     Case{6, 0, {}}, Case{-5, 1, {3, 0, 17, 3}}, Case{-100000, 2, {}}, Case{2000000000, 2000000000, {}},
                     Case{-2000000000, 0, {}}, Case{1, 1, {5, 5, 9, 9}}, Case{0, 0, {-3, -3, 2, 2}}}) {
        std::vector<uint16_t> memory(guard + kDW * kDH + guard, fill);
        _canvas c;
        c.pixels = src.data();
        c.alpha = copy.draw == copyPlain ? nullptr : alpha.data();
        c.width = kW;
        c.height = kH;
        c.x = k.x;
        c.y = k.y;
        c.clip = k.clip;
        _canvas d;
        d.pixels = memory.data() + guard;
        d.width = kDW;
        d.height = kDH;
        d.window = windowed ? window : nullptr;
        copy.draw(c, d);
        const std::string where = std::string(copy.name) + " at " + std::to_string(k.x) + "," + std::to_string(k.y) +
                                  (windowed ? " in the window" : "");
        CXRect clip = k.clip.isEmpty() ? CXRect(0, 0, kW, kH) : k.clip.intersection(CXRect(0, 0, kW, kH));
        for (int i = 0; i < guard; ++i) {
          ASSERT_EQ(memory[static_cast<size_t>(i)], fill) << "before, " << where;
          ASSERT_EQ(memory[static_cast<size_t>(guard + kDW * kDH + i)], fill) << "after, " << where;
        }
        for (int y = 0; y < kDH; ++y)
          for (int x = 0; x < kDW; ++x) {
            int64_t sx = static_cast<int64_t>(x) - k.x, sy = static_cast<int64_t>(y) - k.y;
            bool drawn = sx >= clip.left && sx < clip.right && sy >= clip.top && sy < clip.bottom &&
                         (!windowed || (x >= window[y].left && x < window[y].right));
            size_t at = drawn ? static_cast<size_t>(sy * kW + sx) : 0;
            uint16_t expect = drawn ? copy.expect(src[at], alpha[at]) : fill;
            EXPECT_EQ(memory[static_cast<size_t>(guard + y * kDW + x)], expect) << where << ": pixel " << x << "," << y;
          }
      }
}

TEST_P(CanvasTest, AWindowHoldsOnThirtyTwoBitDestinationsAndCanvases) {
  // One row of four opaque pixels; the window lets only columns 1 and 2 be written.
  const RowSpan window[1] = {{1, 3}};
  auto row = [](void* pixels, uint8_t* alpha, int bpp, const RowSpan* rows) {
    _canvas c;
    c.pixels = pixels;
    c.alpha = alpha;
    c.bpp = bpp;
    c.width = 4;
    c.height = 1;
    c.window = rows;
    return c;
  };
  std::vector<uint16_t> src = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  std::vector<uint8_t> alpha(4, 255);
  std::vector<uint32_t> wide(4, 0x123456);
  copyAlpha(row(src.data(), alpha.data(), 16, nullptr), row(wide.data(), nullptr, 32, window));
  EXPECT_EQ(wide, (std::vector<uint32_t>{0x123456, to32(0x07E0, 16), to32(0x001F, 16), 0x123456}));
  std::vector<uint16_t> pixels(4, 0x1111);
  std::vector<uint8_t> own(4, 0);
  copyToCanvas(row(src.data(), alpha.data(), 16, nullptr), row(pixels.data(), own.data(), 16, window));
  EXPECT_EQ(pixels, (std::vector<uint16_t>{0x1111, 0x07E0, 0x001F, 0x1111}));
  EXPECT_EQ(own, (std::vector<uint8_t>{0, 255, 255, 0}));
}

TEST_P(CanvasTest, NothingToDrawIsHandled) {
  uint16_t p = 5, q = 7;
  _canvas c;
  c.pixels = &p;
  c.width = c.height = 1;
  _canvas d;
  d.pixels = &q;
  d.width = d.height = 1;
  _canvas empty = c;
  empty.width = 0;
  EXPECT_TRUE(copyPlain(empty, d)) << "an empty area is drawn as nothing";
  _canvas none = c;
  none.pixels = nullptr;
  EXPECT_FALSE(copyAlpha(none, d));
  _canvas mixed = d;
  mixed.bpp = 15;
  EXPECT_FALSE(copyPlain(c, mixed)) << "a 16-bit source needs a 16-bit destination";
  EXPECT_EQ(q, 7);
}

INSTANTIATE_TEST_SUITE_P(ScalarAndSimd, CanvasTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Simd" : "Scalar"; });

}  // namespace
