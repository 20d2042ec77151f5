// Animations through the real frame tick: the window's animation manager steps them and the refresh
// manager composes what changed. One animation of 60 frames of 400 x 300 with alpha (run-length
// frames, and LZO frames; unpacked when first due, and all of them fit the default budget of unpacked
// frames, so after the first round playing costs the same) played for 600
// ticks; loading that animation from each kind of file; and a typical scene: a background, 10
// playing animations of 200 x 200 and 20 static images. Prints frames per second and the share of one
// core a 60 fps tick takes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "graphics/animation.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "platform/clock.h"
#include "platform/video.h"

namespace {

constexpr int kTicks = 600;
constexpr uint32_t kTickMs = 16;  // about 60 ticks per second

// The file of an animation of n frames of w x h with a soft-edged alpha plane, its frames stored
// with the compression (4 run-length, 2 LZO).
std::vector<uint8_t> animationFile(int n, int w, int h, int compression) {
  CAnimo made;
  for (int i = 0; i < n; ++i) {
    auto f = std::make_unique<CAnimoFrame>();
    f->create(w, h, 16, true);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        f->pixels16()[y * w + x] = static_cast<uint16_t>(((x + i * 3) / 8 % 32) << 11 | (y / 4 % 64) << 5 | i % 32);
        int edge = std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y));
        f->GetAlphaPtr()[y * w + x] = static_cast<uint8_t>(edge >= 16 ? 255 : edge * 16);
      }
    made.AddFrame(std::move(f));
  }
  CAnimoEvent e;
  e.name = "play";
  e.fps = 60;
  for (int i = 0; i < n; ++i) {
    CAnimoEntry entry;
    entry.frame = i;
    e.entries.push_back(entry);
  }
  e.loopEnd = n - 1;  // endless
  made.AddEvent(e);
  std::vector<uint8_t> bytes;
  made.SaveToMemory(compression, bytes);
  return bytes;
}

// The animation read back from its file, as a game's would be.
std::unique_ptr<CAnimo> makeAnimation(int n, int w, int h, int compression = 4) {
  std::vector<uint8_t> bytes = animationFile(n, w, h, compression);
  auto animo = std::make_unique<CAnimo>();
  animo->LoadFromMemory(bytes.data(), bytes.size());
  return animo;
}

struct Stage {
  tarnvik::VirtualClock clock;
  tarnvik::HeadlessVideo video;
  std::unique_ptr<CWindow> window;
  CGraphicsObject background{800, 600, 16};
  std::vector<std::unique_ptr<CAnimo>> animations;
  std::vector<std::unique_ptr<CGraphicsObject>> images;

  Stage() {
    tarnvik::setEngineClock(&clock);
    video.open(800, 600, false);
    window = std::make_unique<CWindow>(nullptr, nullptr, &video);
    window->SetDisplayMode();
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 800; ++x) background.pixels16()[y * 800 + x] = static_cast<uint16_t>(x ^ y);
    window->getRefreshScreen()->SetBackground(&background);
  }
  ~Stage() {
    animations.clear();
    images.clear();
    window.reset();
    tarnvik::setEngineClock(nullptr);
  }
  void addAnimation(std::unique_ptr<CAnimo> animo, int x, int y, int priority) {
    animo->SetPosition(x, y);
    window->getRefreshScreen()->put(animo.get(), priority);
    animo->Play("play");
    animations.push_back(std::move(animo));
  }
  void tick() {
    clock.advance(kTickMs);
    window->Tick();
  }
};

void BM_OneLargeAnimation(benchmark::State& state) {
  Stage stage;
  stage.addAnimation(makeAnimation(60, 400, 300, static_cast<int>(state.range(0))), 200, 150, 1);
  stage.tick();
  for (auto _ : state)
    for (int i = 0; i < kTicks; ++i) stage.tick();

}

// Loading (and unpacking every frame of) the 60-frame animation from its file.
void BM_LoadLargeAnimation(benchmark::State& state) {
  std::vector<uint8_t> bytes = animationFile(60, 400, 300, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CAnimo animo;
    benchmark::DoNotOptimize(animo.LoadFromMemory(bytes.data(), bytes.size()));
  }
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
}

void BM_TypicalScene(benchmark::State& state) {
  Stage stage;
  std::unique_ptr<CAnimo> shared = makeAnimation(20, 200, 200);
  for (int i = 0; i < 10; ++i) {
    auto animo = std::make_unique<CAnimo>();
    animo->copyFrom(*shared);
    stage.addAnimation(std::move(animo), (i % 5) * 150, (i / 5) * 250 + 50, 10 + i);
  }
  for (int i = 0; i < 20; ++i) {
    auto image = std::make_unique<CGraphicsObject>(96, 96, 16, true);
    for (int p = 0; p < 96 * 96; ++p) image->GetAlphaPtr()[p] = static_cast<uint8_t>(p % 96 < 48 ? 255 : 128);
    image->SetPosition((i % 10) * 80, (i / 10) * 300 + 120);
    stage.window->getRefreshScreen()->put(image.get(), i);
    stage.images.push_back(std::move(image));
  }
  stage.tick();
  for (auto _ : state)
    for (int i = 0; i < kTicks; ++i) stage.tick();
}

void BM_FullScreenFrame(benchmark::State& state) {
  Stage stage;
  stage.tick();
  for (auto _ : state) {
    stage.window->Invalidate();
    stage.tick();
  }
}

// Argument: the frames' compression (4 run-length, 2 LZO).
BENCHMARK(BM_OneLargeAnimation)->Arg(4)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadLargeAnimation)->Arg(4)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypicalScene)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FullScreenFrame)->Unit(benchmark::kMicrosecond);

class Figures : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      double us = run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMillisecond ? 1000.0 : 1.0);
      std::string name = run.benchmark_name();
      if (name.find("FullScreen") != std::string::npos) full_ = us;
      else if (name.find("OneLarge") != std::string::npos) (name.find("/2") != std::string::npos ? largeLzo_ : large_) = us / kTicks;
      else if (name.find("Typical") != std::string::npos) typical_ = us / kTicks;
    }
  }
  void print() const {
    auto share = [](double us) { return us * 60 / 1e6 * 100; };
    std::printf("\none 400 x 300 animation, run-length frames: %.0f us per tick, %.0f ticks/s, %.2f%% of a core at 60 fps\n",
                large_, large_ > 0 ? 1e6 / large_ : 0, share(large_));
    std::printf("one 400 x 300 animation, LZO frames: %.0f us per tick, %.0f ticks/s, %.2f%% of a core at 60 fps\n",
                largeLzo_, largeLzo_ > 0 ? 1e6 / largeLzo_ : 0, share(largeLzo_));
    std::printf("typical scene (10 animations of 200 x 200, 20 images): %.0f us per tick, %.2f%% of a core at 60 fps\n",
                typical_, share(typical_));
    std::printf("full-screen frame of the background alone: %.0f us (%.2f%% of a core at 60 fps)\n", full_, share(full_));
  }

 private:
  double full_ = 0, large_ = 0, largeLzo_ = 0, typical_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Figures figures;
  benchmark::RunSpecifiedBenchmarks(&figures);
  figures.print();
  return 0;
}
