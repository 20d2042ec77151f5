// Large scene files: a scene of N INTEGER objects, each with an ONCHANGED handler, and 500
// behaviours, played headless for two frames (the whole run: reading the files, creating the objects,
// entering the scene). Prints the time per object (beyond the run without them) at 2,000, 20,000 and 100,000 objects and the ratio of
// the largest to the smallest (target: under 1.5, so the load grows linearly; 100,000 in under 1 s).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "headless_game.h"

namespace {

namespace fs = std::filesystem;

constexpr int kBehaviours = 500;
constexpr int kRuns = 5;

// A game whose only scene holds `objects` INTEGERs and the behaviours their handlers name.
void writeGame(const fs::path& game, int objects) {
  fs::remove_all(game);
  fs::create_directories(game / "Dane/BIG");
  std::ofstream(game / "Dane/application.def") << "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:EPISODES=E\n"
                                                  "GAME:STARTWITH=E\nOBJECT=E\nE:TYPE=EPISODE\nE:PATH=E\n"
                                                  "E:SCENES=BIG\nE:STARTWITH=BIG\nOBJECT=BIG\nBIG:TYPE=SCENE\n"
                                                  "BIG:PATH=BIG\n";
  std::ofstream scene(game / "Dane/BIG/BIG.cnv");
  scene << "OBJECT=TOTAL\nTOTAL:TYPE=INTEGER\nTOTAL:VALUE=0\n";
  for (int i = 0; i < objects; ++i)
    scene << "OBJECT=N" << i << "\nN" << i << ":TYPE=INTEGER\nN" << i << ":VALUE=" << i << "\nN" << i
          << ":ONCHANGED=BEH" << i % kBehaviours << "\n";
  for (int b = 0; b < kBehaviours; ++b)
    scene << "OBJECT=BEH" << b << "\nBEH" << b << ":TYPE=BEHAVIOUR\nBEH" << b << ":CODE={TOTAL^ADD(" << b
          << ");N" << b << "^GET();}\n";
}

// CPU milliseconds of a headless run of two frames, from reading the application to its end (the
// window is made before; the build machine is shared, so wall time there counts other processes).
double loadMs(const fs::path& game, const fs::path& settings) {
  benchgame::HeadlessGame run(game, settings);
  double start = benchgame::cpuSeconds();
  if (!run.start()) return -1;
  run.frame();
  run.frame();
  run.finish();
  return (benchgame::cpuSeconds() - start) * 1000.0;
}

}  // namespace

// With a number argument, only that many objects are loaded (once; for profiling).
int main(int argc, char** argv) {
  tarnvik::log::setLevel(tarnvik::log::Level::error);
  const fs::path work = fs::temp_directory_path() / ("tarnvik-scene-load-" + std::to_string(getpid()));
  if (argc > 1) {
    writeGame(work / "game", std::atoi(argv[1]));
    std::printf("scene_load: %s objects: %.1f ms\n", argv[1], loadMs(work / "game", work / "settings.ini"));
    fs::remove_all(work);
    return 0;
  }
  // The run of the same game without the INTEGERs is the fixed part (window, application, the
  // behaviours); the time per object is what each object adds to it. The sizes take turns, so a
  // busy moment of the machine does not fall on one size alone; the small runs, a few ms over the
  // fixed part, are repeated more often, as their difference is the one noise moves most.
  struct Size {
    int objects;
    int runs;
    double fastestMs = 1e30;
  };
  std::vector<Size> sizes = {{0, 4 * kRuns}, {2000, 4 * kRuns}, {20000, 2 * kRuns}, {100000, kRuns}};
  for (Size& size : sizes) writeGame(work / ("game" + std::to_string(size.objects)), size.objects);
  for (int run = 0; run < 4 * kRuns; ++run)
    for (Size& size : sizes)
      if (run < size.runs)
        size.fastestMs = std::min(size.fastestMs, loadMs(work / ("game" + std::to_string(size.objects)), work / "settings.ini"));
  const double fixedMs = sizes[0].fastestMs;
  std::printf("scene_load: %6d objects: %8.1f ms (the fixed part)\n", 0, fixedMs);
  std::vector<double> perObjectUs;
  for (size_t i = 1; i < sizes.size(); ++i) {
    perObjectUs.push_back((sizes[i].fastestMs - fixedMs) * 1000.0 / sizes[i].objects);
    std::printf("scene_load: %6d objects: %8.1f ms, %.2f us per object (fastest of %d runs)\n", sizes[i].objects,
                sizes[i].fastestMs, perObjectUs.back(), sizes[i].runs);
  }
  fs::remove_all(work);
  std::printf("scene_load: time per object, largest over smallest: %.2f (target < 1.5)\n",
              *std::max_element(perObjectUs.begin(), perObjectUs.end()) /
                  *std::min_element(perObjectUs.begin(), perObjectUs.end()));
  return 0;
}
