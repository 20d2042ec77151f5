// SSE2 row kernels for the alpha and opacity copies. Each gives exactly the scalar result.
//
// Eight pixels go through one register, one 16-bit lane per pixel, each channel taken out into its
// own register. The blend t' = (t * 256 + (s - t) * w) >> 8 is computed as t + ((s - t) * w >> 8):
// the same integer for channel values up to 63 and weights 0..255, with every intermediate within
// a signed 16-bit lane (see blendLanes). Weights outside 0..255 (possible only through a direct
// kernel call with an opacity above 255) go to the scalar kernels.
#include "graphics/pixels/canvas.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnvik::canvas {

#if defined(__SSE2__)
namespace {

// Channel positions and maxima of one 16-bit layout.
template <int RS, int RMAX, int GMAX>
struct Lanes {
  static constexpr short rmax = RMAX, gmax = GMAX;
  static constexpr bool spareBit = RS == 10;  // 5-5-5 leaves the top bit unused; blends clear it
  static __m128i red(__m128i p) {
    if constexpr (RS == 11) return _mm_srli_epi16(p, 11);  // red is the top of the pixel
    return _mm_and_si128(_mm_srli_epi16(p, RS), _mm_set1_epi16(RMAX));
  }
  static __m128i green(__m128i p) { return _mm_and_si128(_mm_srli_epi16(p, 5), _mm_set1_epi16(GMAX)); }
  static __m128i blue(__m128i p) { return _mm_and_si128(p, _mm_set1_epi16(31)); }
  static __m128i pack(__m128i r, __m128i g, __m128i b) {
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, RS), _mm_slli_epi16(g, 5)), b);
  }
};
using L565 = Lanes<11, 31, 63>;
using L555 = Lanes<10, 31, 31>;

// t + ((s - t) * w >> 8) per lane: t * 256 is a multiple of 256, so this is the blend's floor
// division. (s - t) * w lies within +-63 * 255, so the 16-bit product is exact, and the shift is an
// arithmetic one as in the scalar code.
inline __m128i blendLanes(__m128i s, __m128i t, __m128i w) {
  return _mm_add_epi16(t, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(s, t), w), 8));
}

// Eight pixels blended with per-lane weights; with plusOne each channel gets + 1 up to its maximum.
// Without it the result needs no mask: it never exceeds the larger of the two channel values.
template <typename L, bool plusOne>
inline __m128i blendPixels(__m128i s, __m128i t, __m128i w) {
  __m128i r = blendLanes(L::red(s), L::red(t), w);
  __m128i g = blendLanes(L::green(s), L::green(t), w);
  __m128i b = blendLanes(L::blue(s), L::blue(t), w);
  if constexpr (plusOne) {
    const __m128i one = _mm_set1_epi16(1);
    r = _mm_min_epi16(_mm_add_epi16(r, one), _mm_set1_epi16(L::rmax));
    g = _mm_min_epi16(_mm_add_epi16(g, one), _mm_set1_epi16(L::gmax));
    b = _mm_min_epi16(_mm_add_epi16(b, one), _mm_set1_epi16(31));
  }
  return L::pack(r, g, b);
}

inline __m128i load8(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store8(uint16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
// Eight alpha values as one number: a block wholly transparent (0) or wholly opaque (all ones) is
// told by one comparison, before any lane work.
inline uint64_t alphaBits(const uint8_t* a) {
  uint64_t bits;
  std::memcpy(&bits, a, sizeof bits);
  return bits;
}
constexpr uint64_t kAllOpaque = ~uint64_t{0};
inline __m128i alphaLanes(uint64_t bits) {
  return _mm_unpacklo_epi8(_mm_cvtsi64_si128(static_cast<long long>(bits)), _mm_setzero_si128());
}
inline __m128i select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Runs a block of eight over the row, in order. A block computes its eight results from the pixels
// as they were and tells whether they differ from the destination (false: nothing to store). Each
// result depends on its own pixel alone. The last block of a row of eight or more ends at the row's
// end; when the row is not a multiple of eight it overlaps the one before it, so these two are both
// computed before either is stored (the pixels they share get the same values twice). Rows of every
// length take the same steps, which keeps the branches predictable in a frame whose rows the dirty
// areas cut to many lengths. Rows under eight pixels go through a padded copy of which only the
// row's own pixels are written back.
template <typename Block>
inline void eachBlock(const uint16_t* s, const uint8_t* a, uint16_t* d, int n, const Block& block) {
  __m128i out;
  if (n < 8) {
    if (n <= 0) return;
    uint16_t ts[8] = {}, td[8] = {};
    uint8_t ta[8] = {};
    for (int i = 0; i < n; ++i) {
      ts[i] = s[i];
      td[i] = d[i];
      if (a) ta[i] = a[i];
    }
    if (!block(ts, a ? ta : nullptr, td, out)) return;
    store8(td, out);
    for (int i = 0; i < n; ++i) d[i] = td[i];
    return;
  }
  // The block before the last starts at the largest multiple of eight below the last one's start.
  const int lastAt = n - 8, beforeAt = lastAt > 0 ? (lastAt - 1) & ~7 : -1;
  for (int i = 0; i < beforeAt; i += 8)
    if (block(s + i, a ? a + i : nullptr, d + i, out)) store8(d + i, out);
  __m128i before = _mm_setzero_si128(), last;
  const bool beforeChanges = beforeAt >= 0 && block(s + beforeAt, a ? a + beforeAt : nullptr, d + beforeAt, before);
  const bool lastChanges = block(s + lastAt, a ? a + lastAt : nullptr, d + lastAt, last);
  if (beforeChanges) store8(d + beforeAt, before);
  if (lastChanges) store8(d + lastAt, last);
}

// Alpha copy: groups of eight that are all transparent are skipped, all opaque ones copied whole.
template <typename L>
inline void alphaRow(const uint16_t* s, const uint8_t* a, uint16_t* d, int n) {
  eachBlock(s, a, d, n, [](const uint16_t* bs, const uint8_t* ba, const uint16_t* bd, __m128i& out) {
    const uint64_t bits = alphaBits(ba);
    if (bits == 0) return false;
    const __m128i sv = load8(bs);
    if (bits == kAllOpaque) {
      out = sv;
      return true;
    }
    const __m128i w = alphaLanes(bits);
    const __m128i transparent = _mm_cmpeq_epi16(w, _mm_setzero_si128());
    const __m128i opaque = _mm_cmpeq_epi16(w, _mm_set1_epi16(255));
    const __m128i tv = load8(bd);
    out = select(transparent, tv, select(opaque, sv, blendPixels<L, true>(sv, tv, w)));
    return true;
  });
}

template <typename L>
inline void blendRow(const uint16_t* s, uint16_t* d, int n, int opacity) {
  const __m128i w = _mm_set1_epi16(static_cast<short>(opacity));
  eachBlock(s, nullptr, d, n, [w](const uint16_t* bs, const uint8_t*, const uint16_t* bd, __m128i& out) {
    out = blendPixels<L, false>(load8(bs), load8(bd), w);
    return true;
  });
}

// Alpha with opacity: the weight (a * opacity) >> 8 is 0 exactly when a * opacity <= 255, where the
// destination pixel stays. A blend with weight 0 gives back the destination's channels, so in 5-6-5
// no lane needs a separate test; in 5-5-5 it would clear the unused top bit, so those lanes keep the
// destination pixel.
template <typename L>
inline void alphaBlendRow(const uint16_t* s, const uint8_t* a, uint16_t* d, int n, int opacity) {
  // mulhi(a, opacity * 256) = (a * opacity * 256) >> 16 = (a * opacity) >> 8, all unsigned 16-bit.
  const __m128i scale = _mm_set1_epi16(static_cast<short>(opacity << 8));
  eachBlock(s, a, d, n, [scale](const uint16_t* bs, const uint8_t* ba, const uint16_t* bd, __m128i& out) {
    const uint64_t bits = alphaBits(ba);
    if (bits == 0) return false;
    const __m128i w = _mm_mulhi_epu16(alphaLanes(bits), scale);
    const __m128i skip = _mm_cmpeq_epi16(w, _mm_setzero_si128());
    if (_mm_movemask_epi8(skip) == 0xFFFF) return false;
    const __m128i tv = load8(bd);
    out = blendPixels<L, false>(load8(bs), tv, w);
    if constexpr (L::spareBit) out = select(skip, tv, out);
    return true;
  });
}

// The rows of a rectangle; opacities outside 0..255 (only a direct kernel call can pass them) run
// the scalar kernels.
template <typename L, Kernels::Blend Scalar>
void blendRows(const uint16_t* s, size_t sStep, uint16_t* d, size_t dStep, int n, int rows, int opacity,
               Window window) {
  if (opacity <= 0) return;
  if (opacity > 255) return Scalar(s, sStep, d, dStep, n, rows, opacity, window);
  blendRowsOf<blendRow<L>>(s, sStep, d, dStep, n, rows, opacity, window);
}

template <typename L, Kernels::AlphaBlend Scalar>
void alphaBlendRows(const uint16_t* s, const uint8_t* a, size_t sStep, uint16_t* d, size_t dStep, int n, int rows,
                    int opacity, Window window) {
  if (opacity <= 0) return;
  if (opacity > 255) return Scalar(s, a, sStep, d, dStep, n, rows, opacity, window);
  alphaBlendRowsOf<alphaBlendRow<L>>(s, a, sStep, d, dStep, n, rows, opacity, window);
}

void blend16Scalar(const uint16_t* s, size_t ss, uint16_t* d, size_t ds, int n, int rows, int o, Window w) {
  scalarKernels().blend16(s, ss, d, ds, n, rows, o, w);
}
void blend15Scalar(const uint16_t* s, size_t ss, uint16_t* d, size_t ds, int n, int rows, int o, Window w) {
  scalarKernels().blend15(s, ss, d, ds, n, rows, o, w);
}
void alphaBlend16Scalar(const uint16_t* s, const uint8_t* a, size_t ss, uint16_t* d, size_t ds, int n, int rows, int o,
                        Window w) {
  scalarKernels().alphaBlend16(s, a, ss, d, ds, n, rows, o, w);
}
void alphaBlend15Scalar(const uint16_t* s, const uint8_t* a, size_t ss, uint16_t* d, size_t ds, int n, int rows, int o,
                        Window w) {
  scalarKernels().alphaBlend15(s, a, ss, d, ds, n, rows, o, w);
}

const Kernels kSse2{alphaRowsOf<alphaRow<L565>>,
                    alphaRowsOf<alphaRow<L555>>,
                    blendRows<L565, blend16Scalar>,
                    blendRows<L555, blend15Scalar>,
                    alphaBlendRows<L565, alphaBlend16Scalar>,
                    alphaBlendRows<L555, alphaBlend15Scalar>};

}  // namespace

const Kernels& simdKernels() { return kSse2; }
#else
const Kernels& simdKernels() { return scalarKernels(); }
#endif

}  // namespace tarnvik::canvas
