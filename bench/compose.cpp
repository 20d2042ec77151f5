// Frame composition against pixman on the same visual work, in one process: an 800 x 600 5-6-5
// background and 40 sprites of 128 x 128 with soft alpha edges, half of them at an opacity below 255.
// Our frames go through the refresh manager (background, then every drawable by priority); pixman
// composes premultiplied a8r8g8b8 sprites OVER the r5g6b5 frame. Prints both throughputs (megapixels
// of sprite area per second, the background copy included in the frame time), their ratio, and the
// cost of a frame in which one sprite moves (5% of the screen dirty) against a full frame: each frame
// another sprite (a place the caches have not seen for 39 frames), and each sprite ten frames in a
// row (as a walking figure moves). Also a swarm of 300 small sprites all moving every frame, against
// a full frame of the same scene.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "graphics/pixels/canvas.h"
#include "graphics/pixels/graphics_object.h"
#include "graphics/refresh_screen.h"
#include "times_reporter.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kSprites = 40, kSize = 128;
constexpr int kMoveBy = 59;  // the moving sprite's jump in partial frames
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

// The engine's refresh manager over an 800 x 600 back buffer, with the scene's background image.
struct Screen {
  CRefreshScreen refresh{CXSize(kWidth, kHeight), 16};
  CGraphicsObject target{kWidth, kHeight, 16};
  CGraphicsObject background{kWidth, kHeight, 16};
  std::vector<std::unique_ptr<CGraphicsObject>> sprites;

  explicit Screen(const Scene& sc) {
    std::copy(sc.background.begin(), sc.background.end(), background.pixels16());
    refresh.SetBackground(&background);
  }
  void frame() {
    bool initialised = false;
    refresh.Redraw(&target, nullptr, initialised);
    refresh.clearRegion();
  }
  void fullFrame() {
    refresh.Invalidate();
    frame();
  }
};

// Our side: the scene's sprites registered as drawables in its order (later ones on top).
struct OurScreen : Screen {
  // Partial frames move one sprite each, in turn: it jumps kMoveBy pixels sideways (right when
  // there is room, else left) or back, so its old and new place together are 5% of the screen.
  std::vector<CXPoint> home, away;
  size_t next = 0;
  size_t movesInARow = 1;  // frames each sprite moves before the next one does

  explicit OurScreen(const Scene& sc) : Screen(sc) {
    for (const Sprite& s : sc.sprites) {
      auto o = std::make_unique<CGraphicsObject>(kSize, kSize, 16, true);
      std::copy(s.pixels.begin(), s.pixels.end(), o->pixels16());
      std::copy(s.alpha.begin(), s.alpha.end(), o->GetAlphaPtr());
      o->SetOpacity(s.opacity);
      o->SetPosition(s.x, s.y);
      refresh.put(o.get(), static_cast<int>(sprites.size()));
      sprites.push_back(std::move(o));
      home.emplace_back(s.x, s.y);
      away.emplace_back(s.x + kMoveBy + kSize <= kWidth ? s.x + kMoveBy : s.x - kMoveBy, s.y);
    }
    fullFrame();
  }
  // Moves the next sprite to its other place, as a script's move does: old and new area are dirty.
  void moveNext() {
    size_t i = next++ / movesInARow % sprites.size();
    CGraphicsObject* o = sprites[i].get();
    CXPoint to = o->GetPosition() == home[i] ? away[i] : home[i];
    o->Invalidate();
    o->SetPosition(to.x, to.y);
    o->Invalidate();
  }
  void partialFrame() {
    moveNext();
    frame();
  }
  std::vector<uint16_t> picture() const {
    const uint16_t* p = static_cast<const uint16_t*>(target.pixels());
    return std::vector<uint16_t>(p, p + static_cast<size_t>(kWidth) * kHeight);
  }
};

// A swarm: 300 small round sprites (24 x 24, half of them translucent) that all move 3 pixels every
// frame, as falling snow or a flock does. Their old and new places leave several hundred dirty
// rectangles per frame, side by side and stacked, which the frame joins and recomposes.
constexpr int kSwarm = 300, kSwarmSize = 24, kSwarmStep = 3;

struct Swarm : Screen {
  explicit Swarm(const Scene& sc) : Screen(sc) {
    std::mt19937 random(7);
    const double r = kSwarmSize / 2.0;
    for (int i = 0; i < kSwarm; ++i) {
      auto o = std::make_unique<CGraphicsObject>(kSwarmSize, kSwarmSize, 16, true);
      for (int y = 0; y < kSwarmSize; ++y)
        for (int x = 0; x < kSwarmSize; ++x) {
          const double dx = x + 0.5 - r, dy = y + 0.5 - r, d = std::sqrt(dx * dx + dy * dy);
          const size_t at = static_cast<size_t>(y) * kSwarmSize + x;
          o->pixels16()[at] = static_cast<uint16_t>(random());
          o->GetAlphaPtr()[at] = static_cast<uint8_t>(std::clamp((r - d) / 3, 0.0, 1.0) * 255);
        }
      o->SetOpacity(i % 2 ? 255 : 128);
      o->SetPosition(static_cast<int>(random() % (kWidth - kSwarmSize)), static_cast<int>(random() % (kHeight - kSwarmSize)));
      refresh.put(o.get(), i);
      sprites.push_back(std::move(o));
    }
    fullFrame();
  }
  // Every sprite moves down and sideways, wrapping at the screen's edges.
  void moveAll() {
    for (size_t i = 0; i < sprites.size(); ++i) {
      CGraphicsObject* o = sprites[i].get();
      const CXPoint at = o->GetPosition();
      o->Invalidate();
      o->SetPosition((at.x + (i % 2 ? kSwarmStep : kWidth - kSwarmStep)) % (kWidth - kSwarmSize),
                     (at.y + kSwarmStep) % (kHeight - kSwarmSize));
      o->Invalidate();
    }
  }
};

void composePixman(const Scene& sc, pixman_image_t* frame) {
  pixman_image_composite32(PIXMAN_OP_SRC, sc.backgroundImage, nullptr, frame, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
  for (const Sprite& s : sc.sprites)
    pixman_image_composite32(PIXMAN_OP_OVER, s.image, nullptr, frame, 0, 0, 0, 0, s.x, s.y, kSize, kSize);
}

// Runs `frame` once per benchmark iteration, its writes kept.
template <typename Frame>
void eachIteration(benchmark::State& state, Frame frame) {
  for (auto _ : state) {
    frame();
    benchmark::ClobberMemory();
  }
}

void BM_Ours_FullFrame(benchmark::State& state) {
  OurScreen screen(scene());
  eachIteration(state, [&] { screen.fullFrame(); });
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSpritePixels));
}

// The portable kernels on the same frames, for comparison.
void BM_OursScalar_FullFrame(benchmark::State& state) {
  OurScreen screen(scene());
  tarnvik::canvas::useSimd(false);
  eachIteration(state, [&] { screen.fullFrame(); });
  tarnvik::canvas::useSimd(true);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSpritePixels));
}

void BM_Ours_PartialFrame(benchmark::State& state) {
  OurScreen screen(scene());
  eachIteration(state, [&] { screen.partialFrame(); });
}

void BM_Ours_PartialFrameTenInARow(benchmark::State& state) {
  OurScreen screen(scene());
  screen.movesInARow = 10;
  eachIteration(state, [&] { screen.partialFrame(); });
}

void BM_Ours_SwarmFrame(benchmark::State& state) {
  Swarm swarm(scene());
  eachIteration(state, [&] {
    swarm.moveAll();
    swarm.frame();
  });
}

void BM_Ours_SwarmFullFrame(benchmark::State& state) {
  Swarm swarm(scene());
  eachIteration(state, [&] { swarm.fullFrame(); });
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

// With --benchmark_repetitions each benchmark also reports its fastest repetition, the one least
// disturbed by other work on the machine; the figures at the end use it.
double fastest(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
BENCHMARK(BM_Ours_FullFrame)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_Pixman_FullFrame)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_OursScalar_FullFrame)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_Ours_PartialFrame)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_Ours_PartialFrameTenInARow)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_Ours_SwarmFrame)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
BENCHMARK(BM_Ours_SwarmFullFrame)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

// Keeps the CPU time per iteration of every run for the figures printed at the end (the machine is
// shared, so wall time also counts other processes; each run is single-threaded). With
// --benchmark_repetitions the fastest repetition stands for the benchmark.
class FigureReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that piped output stays plain text.
  FigureReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}
  std::map<std::string, double> microseconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "min")
        microseconds[run.run_name.str()] =
            run.GetAdjustedCPUTime() * 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
  double get(const char* name) const {
    auto it = microseconds.find(name);
    return it == microseconds.end() ? 0 : it->second;
  }
};

// Our SIMD frame against the scalar reference frame, pixel for pixel.
bool simdFrameIsExact() {
  OurScreen simd(scene()), scalar(scene());
  tarnvik::canvas::useSimd(false);
  scalar.fullFrame();
  tarnvik::canvas::useSimd(true);
  return simd.picture() == scalar.picture();
}

// Sprites moved away and back in partial frames leave the picture a full frame composes.
bool partialFramesAreExact() {
  OurScreen screen(scene());
  const std::vector<uint16_t> start = screen.picture();
  screen.partialFrame();
  if (screen.picture() == start) return false;  // the move must show
  for (int i = 1; i < kSprites; ++i) screen.partialFrame();
  const std::vector<uint16_t> moved = screen.picture();
  screen.fullFrame();
  if (screen.picture() != moved) return false;
  for (int i = 0; i < kSprites; ++i) screen.partialFrame();
  return screen.picture() == start;
}

// Share of the screen that a partial frame recomposes, on average over the moving sprites.
double partialShare() {
  OurScreen screen(scene());
  double area = 0;
  for (int i = 0; i < 2 * kSprites; ++i) {
    screen.moveNext();
    for (const CXRect& r : screen.refresh.region().rects()) area += static_cast<double>(r.width()) * r.height();
    screen.frame();
  }
  return area * 100 / (2.0 * kSprites * kWidth * kHeight);
}

}  // namespace

int main(int argc, char** argv) {
  // `compose partial N` (or `full N`) composes N such frames and nothing else, for instruction
  // counts (valgrind --tool=callgrind); the screen's set-up frame comes before them.
  if (argc == 3 && (std::string(argv[1]) == "partial" || std::string(argv[1]) == "full")) {
    OurScreen screen(scene());
    const bool partial = std::string(argv[1]) == "partial";
    const long frames = std::strtol(argv[2], nullptr, 10);
    for (long i = 0; i < frames; ++i) partial ? screen.partialFrame() : screen.fullFrame();
    std::printf("composed %ld %s frames\n", frames, argv[1]);
    return 0;
  }
  // Ten repetitions of each benchmark, the fastest counting, unless asked otherwise: the machine is
  // shared. They take turns in a random order, so that a slow spell of the machine falls on the
  // partial and the full frames alike rather than on all repetitions of one side of the share.
  BenchmarkArgs args(argc, argv,
                     {"--benchmark_repetitions=10", "--benchmark_enable_random_interleaving=true",
                      "--benchmark_report_aggregates_only=true"});
  benchmark::Initialize(args.argc(), args.argv());
  FigureReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\ncheck: SIMD frame equals the scalar reference: %s\n", simdFrameIsExact() ? "yes" : "NO");
  std::printf("check: partial frames leave the picture a full frame composes: %s\n",
              partialFramesAreExact() ? "yes" : "NO");
  const double ours = reporter.get("BM_Ours_FullFrame"), pixman = reporter.get("BM_Pixman_FullFrame");
  const double scalar = reporter.get("BM_OursScalar_FullFrame"), partial = reporter.get("BM_Ours_PartialFrame");
  const double inARow = reporter.get("BM_Ours_PartialFrameTenInARow");
  auto rate = [](double us) { return us > 0 ? kSpritePixels / us : 0; };
  std::printf("compose scalar kernels: %.1f MP/s\n", rate(scalar));
  std::printf("partial frames recompose %.1f%% of the screen\n", partialShare());
  std::printf("compose partial: %.0f us per frame, full %.0f us per frame, share %.1f%%\n", partial, ours,
              ours > 0 ? partial * 100 / ours : 0);
  std::printf("compose partial, each sprite ten frames in a row: %.0f us per frame, share %.1f%%\n", inARow,
              ours > 0 ? inARow * 100 / ours : 0);
  const double swarm = reporter.get("BM_Ours_SwarmFrame"), swarmFull = reporter.get("BM_Ours_SwarmFullFrame");
  std::printf("compose, %d small sprites moving at once: %.0f us per frame, full %.0f us per frame, ratio %.2f\n",
              kSwarm, swarm, swarmFull, swarmFull > 0 ? swarm / swarmFull : 0);
  std::printf("compose: ours %.1f MP/s, pixman %.1f MP/s, ratio %.2f\n", rate(ours), rate(pixman),
              rate(pixman) > 0 ? rate(ours) / rate(pixman) : 0);
  benchmark::Shutdown();
  return 0;
}
