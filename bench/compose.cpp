// Frame composition against pixman on the same visual work, in one process: an 800 x 600 5-6-5
// background and 40 sprites of 128 x 128 with soft alpha edges, half of them at an opacity below 255.
// Prints both throughputs (megapixels of sprite area per second, the background copy included in the
// frame time), their ratio, and the cost of a frame in which only two sprites move.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "graphics/canvas.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kSprites = 40, kSize = 128;
constexpr double kSpritePixels = static_cast<double>(kSprites) * kSize * kSize;

struct Sprite {
  std::vector<uint16_t> pixels;
  std::vector<uint8_t> alpha;
  std::vector<uint32_t> premultiplied;  // pixman's a8r8g8b8 form, opacity already applied
  int x = 0, y = 0, opacity = 255;
  pixman_image_t* image = nullptr;
};

// Colour channels of a 5-6-5 pixel widened to 8 bits by bit replication.
void widen(uint16_t p, int& r, int& g, int& b) {
  int r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
  r = r5 << 3 | r5 >> 2;
  g = g6 << 2 | g6 >> 4;
  b = b5 << 3 | b5 >> 2;
}

struct Scene {
  std::vector<uint16_t> background;
  std::vector<Sprite> sprites;
  pixman_image_t* backgroundImage = nullptr;

  Scene() {
    std::mt19937 random(2026);
    background.resize(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        background[static_cast<size_t>(y) * kWidth + x] =
            static_cast<uint16_t>(((x * 31 / kWidth) << 11) | ((y * 63 / kHeight) << 5) | ((x + y) & 31));
    backgroundImage = pixman_image_create_bits(PIXMAN_r5g6b5, kWidth, kHeight,
                                               reinterpret_cast<uint32_t*>(background.data()), kWidth * 2);
    sprites.resize(kSprites);
    for (int i = 0; i < kSprites; ++i) makeSprite(sprites[i], i, random);
  }
  ~Scene() {
    for (Sprite& s : sprites) pixman_image_unref(s.image);
    pixman_image_unref(backgroundImage);
  }

  // A blob: opaque inside, a 6 to 20 pixel soft border whose radius wobbles with the angle, and
  // transparent corners. Colours are a random gradient with some noise.
  static void makeSprite(Sprite& s, int index, std::mt19937& random) {
    s.pixels.resize(kSize * kSize);
    s.alpha.resize(kSize * kSize);
    s.premultiplied.resize(kSize * kSize);
    s.x = static_cast<int>(random() % (kWidth - kSize + 1));
    s.y = static_cast<int>(random() % (kHeight - kSize + 1));
    s.opacity = index % 2 ? 40 + static_cast<int>(random() % 215) : 255;
    const double border = 6 + random() % 15, radius = kSize / 2.0 - 2;
    double wobble[4], phase[4];
    for (int k = 0; k < 4; ++k) {
      wobble[k] = (random() % 100) / 100.0 * 6;
      phase[k] = (random() % 628) / 100.0;
    }
    const int r0 = static_cast<int>(random() % 32), g0 = static_cast<int>(random() % 64);
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        double dx = x - kSize / 2.0 + 0.5, dy = y - kSize / 2.0 + 0.5;
        double angle = std::atan2(dy, dx), edge = radius;
        for (int k = 0; k < 4; ++k) edge -= wobble[k] * (1 + std::sin(angle * (k + 2) + phase[k])) / 2;
        double inside = (edge - std::sqrt(dx * dx + dy * dy)) / border;
        int a = static_cast<int>(std::clamp(inside, 0.0, 1.0) * 255 + 0.5);
        if (a > 0 && a < 255) a = std::clamp(a + static_cast<int>(random() % 17) - 8, 1, 254);
        size_t at = static_cast<size_t>(y) * kSize + x;
        s.alpha[at] = static_cast<uint8_t>(a);
        int r5 = (r0 + x / 5) & 31, g6 = (g0 + y / 3) & 63, b5 = static_cast<int>((x ^ y) + random() % 3) & 31;
        s.pixels[at] = static_cast<uint16_t>(r5 << 11 | g6 << 5 | b5);
        // Premultiplied a8r8g8b8 with the opacity folded into the alpha: pixman's fastest OVER path.
        int pa = (a * s.opacity + 127) / 255, r, g, b;
        widen(s.pixels[at], r, g, b);
        s.premultiplied[at] = static_cast<uint32_t>(pa) << 24 | static_cast<uint32_t>((r * pa + 127) / 255) << 16 |
                              static_cast<uint32_t>((g * pa + 127) / 255) << 8 | static_cast<uint32_t>((b * pa + 127) / 255);
      }
    }
    s.image = pixman_image_create_bits(PIXMAN_a8r8g8b8, kSize, kSize, s.premultiplied.data(), kSize * 4);
  }
};

Scene& scene() {
  static Scene s;
  return s;
}

// Our frame: the background copied whole, then every sprite by its alpha and opacity.
void composeOurs(const Scene& sc, std::vector<uint16_t>& frame) {
  _canvas dst;
  dst.pixels = frame.data();
  dst.width = kWidth;
  dst.height = kHeight;
  _canvas bg;
  bg.pixels = const_cast<uint16_t*>(sc.background.data());
  bg.width = kWidth;
  bg.height = kHeight;
  tarnvik::canvas::copyPlain(bg, dst);
  for (const Sprite& s : sc.sprites) {
    _canvas src;
    src.pixels = const_cast<uint16_t*>(s.pixels.data());
    src.alpha = const_cast<uint8_t*>(s.alpha.data());
    src.width = src.height = kSize;
    src.x = s.x;
    src.y = s.y;
    if (s.opacity < 255) tarnvik::canvas::copyBlend(src, dst, s.opacity);
    else tarnvik::canvas::copyAlpha(src, dst);
  }
}

void composePixman(const Scene& sc, pixman_image_t* frame) {
  pixman_image_composite32(PIXMAN_OP_SRC, sc.backgroundImage, nullptr, frame, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
  for (const Sprite& s : sc.sprites)
    pixman_image_composite32(PIXMAN_OP_OVER, s.image, nullptr, frame, 0, 0, 0, 0, s.x, s.y, kSize, kSize);
}

void BM_Ours_FullFrame(benchmark::State& state) {
  const Scene& sc = scene();
  std::vector<uint16_t> frame(static_cast<size_t>(kWidth) * kHeight);
  for (auto _ : state) {
    composeOurs(sc, frame);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSpritePixels));
}

void BM_Pixman_FullFrame(benchmark::State& state) {
  const Scene& sc = scene();
  std::vector<uint16_t> frame(static_cast<size_t>(kWidth) * kHeight);
  pixman_image_t* image = pixman_image_create_bits(PIXMAN_r5g6b5, kWidth, kHeight,
                                                   reinterpret_cast<uint32_t*>(frame.data()), kWidth * 2);
  for (auto _ : state) {
    composePixman(sc, image);
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  pixman_image_unref(image);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSpritePixels));
}

BENCHMARK(BM_Ours_FullFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pixman_FullFrame)->Unit(benchmark::kMicrosecond);

// Keeps the real time per iteration of every run for the figures printed at the end.
class FigureReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> microseconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        microseconds[run.benchmark_name()] =
            run.GetAdjustedRealTime() * 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
  double get(const char* name) const {
    auto it = microseconds.find(name);
    return it == microseconds.end() ? 0 : it->second;
  }
};

// Our SIMD frame against the scalar reference frame, pixel for pixel.
bool simdFrameIsExact() {
  const Scene& sc = scene();
  std::vector<uint16_t> simd(static_cast<size_t>(kWidth) * kHeight), scalar(simd.size());
  composeOurs(sc, simd);
  tarnvik::canvas::useSimd(false);
  composeOurs(sc, scalar);
  tarnvik::canvas::useSimd(true);
  return simd == scalar;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  FigureReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\ncheck: SIMD frame equals the scalar reference: %s\n", simdFrameIsExact() ? "yes" : "NO");
  double ours = reporter.get("BM_Ours_FullFrame"), pixman = reporter.get("BM_Pixman_FullFrame");
  double oursRate = ours > 0 ? kSpritePixels / ours : 0, pixmanRate = pixman > 0 ? kSpritePixels / pixman : 0;
  std::printf("compose: ours %.1f MP/s, pixman %.1f MP/s, ratio %.2f\n", oursRate, pixmanRate,
              pixmanRate > 0 ? oursRate / pixmanRate : 0);
  benchmark::Shutdown();
  return 0;
}
