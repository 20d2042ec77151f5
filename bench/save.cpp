// Saving and loading the bundled demo's busiest scene (the valley: the background scrolling, a bird
// flying, two timers and the music) after two seconds of play, in memory: the time to make a save
// (target: under 20 ms), the time to put it back in place of the running game (target: under 50 ms),
// and the size of the save (target: under 200 KB).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "application/saves/game_saves.h"
#include "foundation/log.h"
#include "headless_game.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWarmFrames = 120;
constexpr int kRuns = 9;

}  // namespace

int main() {
  tarnvik::log::setLevel(tarnvik::log::Level::error);
  const fs::path work = fs::temp_directory_path() / ("tarnvik-bench-save-" + std::to_string(getpid()));
  const fs::path valley = benchgame::valleyCopy("save", work);
  if (valley.empty()) return 1;
  std::vector<double> saving, loading;
  size_t bytes = 0;
  {
    benchgame::HeadlessGame run(valley, work / "valley.ini");
    if (!run.start()) return 1;
    int frames = 0;
    tarnvik::GameSaves saves(run.application(), (work / "saves").string(), "game",
                             {[&] { return tarnvik::saves::HostClock{frames, run.clock().now()}; },
                              [&](const tarnvik::saves::HostClock& at) { run.setClock(at.clockMs); }});
    for (; frames < kWarmFrames; ++frames) run.frame();
    for (int i = 0; i < kRuns; ++i) {
      std::vector<uint8_t> save;
      std::string why;
      auto start = std::chrono::steady_clock::now();
      if (!saves.makeSave("", save, why)) return std::fprintf(stderr, "save: %s\n", why.c_str()), 1;
      saving.push_back(benchgame::msSince(start));
      start = std::chrono::steady_clock::now();
      if (!saves.takeSave(save, why)) return std::fprintf(stderr, "save: %s\n", why.c_str()), 1;
      loading.push_back(benchgame::msSince(start));
      bytes = save.size();
      run.frame();
    }
  }
  fs::remove_all(work);
  std::printf("save: valley scene after %d frames: save %.2f ms (target < 20), load %.2f ms (target < 50), "
              "%zu bytes (target < 200 KB) (medians of %d runs)\n",
              kWarmFrames, benchgame::median(saving), benchgame::median(loading), bytes, kRuns);
  return 0;
}
