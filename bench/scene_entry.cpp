// Entering a scene: from the scene change to the first composed frame of the new scene, headless, and
// the peak memory of the run against the packed size of the scene's files. Two scenes: an 800 x 600
// background and 24 animations of 32 frames of 256 x 256 with alpha (run-length packed), and 200
// small animations. Each is measured with frames unpacked when due (ours) and with every frame
// unpacked when its file is read (the way before), each run in a child process of its own so that
// its peak is its own. Prints "scene entry: ours N ms, unpack-all M ms, ratio R; peak P MB for S MB
// packed" per scene; P is the run's peak resident memory above what the process held before the
// game started (code, libraries, the window and its screen buffers). N and M are processor time of
// every thread (the build machine is shared; wall times follow on a line of their own).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "graphics/animation.h"
#include "graphics/formats/image.h"
#include "headless_game.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 5;

struct SceneShape {
  const char* name;
  int animations, frames, width, height;
};
const SceneShape kScenes[] = {{"BIG", 24, 32, 256, 256}, {"MANY", 200, 8, 48, 48}};

uint32_t mix(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  return v ^ (v >> 16);
}

// Frames a painter would make: colour in short runs (every fourth row noisier, so run-length packing
// keeps about a third), alpha a soft-edged disc.
std::vector<uint8_t> animationFile(const SceneShape& shape, int seed) {
  CAnimo made;
  const int w = shape.width, h = shape.height;
  for (int i = 0; i < shape.frames; ++i) {
    auto f = std::make_unique<CAnimoFrame>();
    f->create(w, h, 16, true);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int run = y % 4 == 0 ? 3 : 4;
        f->pixels16()[y * w + x] = static_cast<uint16_t>(mix(static_cast<uint32_t>((seed * 64 + i) * 100000 + y * 1000 + x / run)));
        const int dx = 2 * x - w, dy = 2 * y - h, r = w - 2;
        const int edge = (r * r - dx * dx - dy * dy) / (2 * w);
        f->GetAlphaPtr()[y * w + x] = static_cast<uint8_t>(std::clamp(edge * 32, 0, 255));
      }
    made.AddFrame(std::move(f));
  }
  CAnimoEvent e;
  e.name = "A";
  e.fps = 15;
  for (int i = 0; i < shape.frames; ++i) {
    CAnimoEntry entry;
    entry.frame = i;
    e.entries.push_back(entry);
  }
  e.loopEnd = shape.frames - 1;
  made.AddEvent(e);
  std::vector<uint8_t> bytes;
  made.SaveToMemory(4, bytes);
  return bytes;
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// The game: the empty start scene goes to `shape`'s scene at once; that scene's animations all play.
// Returns the packed size of the entered scene's files in bytes.
size_t writeGame(const fs::path& game, const SceneShape& shape) {
  fs::remove_all(game);
  const std::string scene = shape.name;
  fs::create_directories(game / "Dane/EMPTY");
  fs::create_directories(game / "Dane" / scene);
  std::ofstream(game / "Dane/application.def")
      << "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:EPISODES=E\nGAME:STARTWITH=E\nOBJECT=E\nE:TYPE=EPISODE\n"
         "E:PATH=E\nE:SCENES=EMPTY," << scene << "\nE:STARTWITH=EMPTY\nOBJECT=EMPTY\nEMPTY:TYPE=SCENE\n"
         "EMPTY:PATH=EMPTY\nOBJECT=" << scene << "\n" << scene << ":TYPE=SCENE\n" << scene << ":PATH=" << scene
      << "\n" << scene << ":BACKGROUND=back.img\n";
  std::ofstream(game / "Dane/EMPTY/EMPTY.cnv") << "OBJECT=EMPTY\nEMPTY:ONINIT={E^GOTO(\"" << scene << "\");}\n";
  size_t packed = 0;
  CGraphicsObject back(800, 600, 16);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) back.pixels16()[y * 800 + x] = static_cast<uint16_t>((x / 8) ^ (y * 33));
  std::vector<uint8_t> bytes;
  CImage::encode(back, 4, bytes);
  writeFile(game / "Dane" / scene / "back.img", bytes);
  packed += bytes.size();
  std::ofstream cnv(game / "Dane" / scene / (scene + ".cnv"));
  std::string init;
  const int columns = std::max(1, 800 / (shape.width / 2));
  for (int a = 0; a < shape.animations; ++a) {
    const std::string name = "A" + std::to_string(a), file = name + ".ann";
    bytes = animationFile(shape, a);
    writeFile(game / "Dane" / scene / file, bytes);
    packed += bytes.size();
    cnv << "OBJECT=" << name << "\n" << name << ":TYPE=ANIMO\n" << name << ":FILENAME=" << file << "\n" << name
        << ":TOCANVAS=TRUE\n" << name << ":VISIBLE=TRUE\n";
    const int x = (a % columns) * shape.width / 2 % (800 - shape.width / 2);
    const int y = (a / columns) * shape.height / 3 % (600 - shape.height / 2);
    init += name + "^SETPOSITION(" + std::to_string(x) + "," + std::to_string(y) + ");" + name + "^PLAY(\"A\");";
  }
  cnv << "OBJECT=" << scene << "\n" << scene << ":ONINIT={" << init << "}\n";
  return packed;
}

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

long residentKB() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Measure {
  double ms = -1;         // processor time of every thread
  double wallMs = -1;
  double mainMs = -1;     // processor time of the main thread alone
  double peakMB = 0;      // up to the first composed frame of the scene
  double playPeakMB = 0;  // after a second of playing on
};

double peakMBAbove(long beforeKB) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss - beforeKB) / 1024.0;
}

// One run, in a process of its own (this program started again with "--run GAME all|ours", so that
// the peak is the run's alone): starts the game (the empty scene asks for the other), then times the
// structure tick that enters the scene and the frame tick that composes it; then plays on for a second.
void runOnce(const fs::path& game, bool unpackAll, int out) {
  CAnimo::setUnpackAtLoad(unpackAll);
  Measure m;
  {
    benchgame::HeadlessGame run(game, game.parent_path() / "settings.ini");
    const long before = residentKB();
    if (run.start()) {
      const double cpuStart = benchgame::cpuSeconds(), mainStart = threadCpuMs();
      auto start = std::chrono::steady_clock::now();
      run.application().domodal();
      run.clock().advance(16);
      run.window().Tick();
      m.wallMs = benchgame::msSince(start);
      m.ms = (benchgame::cpuSeconds() - cpuStart) * 1000.0;
      m.mainMs = threadCpuMs() - mainStart;
      m.peakMB = peakMBAbove(before);
      for (int i = 0; i < 60; ++i) run.frame();
      m.playPeakMB = peakMBAbove(before);
    }
  }
  (void)!write(out, &m, sizeof m);
}

Measure measureInChild(const char* self, const fs::path& game, bool unpackAll) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(pipeFd[0]);
    dup2(pipeFd[1], 3);
    execl(self, self, "--run", game.c_str(), unpackAll ? "all" : "ours", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFd[1]);
  Measure m;
  if (read(pipeFd[0], &m, sizeof m) != sizeof m) m = {};
  close(pipeFd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return m;
}

// The median time and the largest peak of kRuns children.
Measure measure(const char* self, const fs::path& game, bool unpackAll) {
  std::vector<double> times, walls, mains;
  Measure worst;
  for (int i = 0; i < kRuns; ++i) {
    Measure m = measureInChild(self, game, unpackAll);
    times.push_back(m.ms);
    walls.push_back(m.wallMs);
    mains.push_back(m.mainMs);
    worst.peakMB = std::max(worst.peakMB, m.peakMB);
    worst.playPeakMB = std::max(worst.playPeakMB, m.playPeakMB);
  }
  std::sort(times.begin(), times.end());
  std::sort(walls.begin(), walls.end());
  std::sort(mains.begin(), mains.end());
  worst.mainMs = mains[kRuns / 2];
  worst.ms = times[kRuns / 2];
  worst.wallMs = walls[kRuns / 2];
  return worst;
}

}  // namespace

int main(int argc, char** argv) {
  tarnvik::log::setLevel(tarnvik::log::Level::error);
  if (argc == 4 && std::string(argv[1]) == "--run") {
    runOnce(argv[2], std::string(argv[3]) == "all", 3);
    return 0;
  }
  const fs::path work = fs::temp_directory_path() / ("tarnvik-scene-entry-" + std::to_string(getpid()));
  for (const SceneShape& shape : kScenes) {
    const double packedMB = static_cast<double>(writeGame(work / "game", shape)) / (1024.0 * 1024.0);
    Measure ours = measure(argv[0], work / "game", false);
    Measure all = measure(argv[0], work / "game", true);
    std::printf("scene_entry: %d animations of %d frames of %d x %d with alpha, run-length packed; median of %d runs\n",
                shape.animations, shape.frames, shape.width, shape.height, kRuns);
    std::printf("scene entry: ours %.1f ms, unpack-all %.1f ms, ratio %.2f; peak %.1f MB for %.1f MB packed\n",
                ours.ms, all.ms, ours.ms / all.ms, ours.peakMB, packedMB);
    std::printf("scene_entry: main thread alone: ours %.1f ms, unpack-all %.1f ms; wall time (the machine is shared): "
                "ours %.1f ms, unpack-all %.1f ms\n",
                ours.mainMs, all.mainMs, ours.wallMs, all.wallMs);
    std::printf("scene_entry: unpack-all peak %.1f MB; after a second of playing: ours %.1f MB, unpack-all %.1f MB; "
                "targets: ours under 33 ms, peak at most %.1f MB\n",
                all.peakMB, ours.playPeakMB, all.playPeakMB, 1.5 * packedMB);
  }
  fs::remove_all(work);
  return 0;
}
