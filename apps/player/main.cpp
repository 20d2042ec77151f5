// tarnvik: the player. Creates the window and the application over the engine command line, then
// runs frames: the frame tick, the structure tick and the settings flush.
#include <atomic>
#include <chrono>
#include <ctime>
#include <optional>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "application/application.h"
#include "application/host_options.h"
#include "files/path.h"
#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "graphics/window.h"
#include "objects/register.h"
#include "objects/system.h"
#include "platform/clock.h"
#include "platform/video.h"
#include "settings/commandline.h"
#include "settings/config.h"
#include "settings/language.h"

namespace {

std::atomic<bool> g_stop{false};
void onSignal(int) { g_stop = true; }

// Headless runs see this calendar time at clock zero (2026-01-01 00:00 UTC), so dates repeat.
constexpr std::time_t kHeadlessEpoch = 1767225600;
constexpr int kHeadlessDefaultFrames = 600;

std::string executableDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

// The bundled demo: beside the build folder in a source tree, else where the build came from.
std::string demoFolder() {
  for (const std::string& candidate :
       {executableDir() + "/../games/demo", executableDir() + "/games/demo", std::string(TARNVIK_DEMO_DIR)}) {
    std::error_code ec;
    if (std::filesystem::is_directory(candidate, ec)) return std::filesystem::weakly_canonical(candidate, ec).string();
  }
  return TARNVIK_DEMO_DIR;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarnvik;
  std::vector<std::string> args(argv + 1, argv + argc);
  HostOptions options;
  std::string error;
  if (!parseHostOptions(args, options, error)) {
    std::fprintf(stderr, "tarnvik: %s\n%s", error.c_str(), hostUsage().c_str());
    return 1;
  }
  if (options.help) {
    std::fputs(hostUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("tarnvik %s\n", TARNVIK_VERSION_STRING);
    return 0;
  }
  log::setLevel(options.logLevel);
  for (auto [given, name] : {std::pair{&options.inputFile, "--input"}, std::pair{&options.screenshotFile, "--screenshot"}})
    if (!given->empty()) std::fprintf(stderr, "tarnvik: %s is not available yet; ignored\n", name);
  if (!options.headless) std::fprintf(stderr, "tarnvik: no display or sound output yet; running headless\n");

  // An archive alone names its game: the folder it was packed from, beside it (OUT.pik -> OUT).
  if (options.engineWords.empty() && !options.archiveFile.empty())
    options.engineWords = {"-path", archiveGameFolder(options.archiveFile)};
  if (options.engineWords.empty()) options.engineWords = {"-path", demoFolder()};
  CCommandLine6 commandLine(joinEngineWords(options.engineWords));
  std::string gameFolder = commandLine.getPath().isEmpty() ? std::string(".") : commandLine.getPath().str();

  std::string settingsFile = options.settingsFile;
  if (settingsFile.empty()) settingsFile = defaultSettingsFile(gameFolder);
  std::string dataFolder = defaultDataFolder(gameFolder);

  // Time: a virtual clock advanced per frame when headless, the real clock otherwise.
  VirtualClock virtualClock;
  RealClock realClock;
  if (options.headless) {
    setEngineClock(&virtualClock);
    CMC_System::setEpoch(kHeadlessEpoch);
  } else {
    setEngineClock(&realClock);
  }
  CXRandom::seed(options.seed ? *options.seed : (options.headless ? 1u : static_cast<unsigned>(std::time(nullptr))));

  CPath::setStartDirectory(CXString(std::filesystem::current_path().string()));
  int width = 800, height = 600;
  commandLine.getResolution(width, height);
  CLanguageOSVer language;
  HeadlessVideo video;
  video.open(width, height, commandLine.isWindowMode());
  CWindow window(&commandLine, &language, &video, width, height);
  registerEngineTypes();

  int frames = 0;
  {
    CApplication application(&window, settingsFile, options.archiveFile, &commandLine);
    application.setDataFolder(dataFolder);
    if (!application.preinitializeApplication()) {
      // No error means the start sequence did its whole job without a game to run (precompiling).
      if (application.getStartError().empty()) return 0;
      std::fprintf(stderr, "tarnvik: %s\n", application.getStartError().c_str());
      return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    std::optional<int> limit = options.frames;
    if (!limit && options.headless) limit = kHeadlessDefaultFrames;
    auto nextFrame = std::chrono::steady_clock::now();
    while ((!limit || frames < *limit) && !g_stop && !window.isQuit()) {
      if (options.headless) virtualClock.advance(static_cast<uint32_t>(options.frameMs));
      window.Tick();
      application.domodal();
      ++frames;
      if (application.getConfig()->isDirty()) application.getConfig()->flush();
      if (!options.headless) {
        nextFrame += std::chrono::milliseconds(options.frameMs);
        std::this_thread::sleep_until(nextFrame);
      }
    }
    std::printf("tarnvik: %d frames, scene %s\n", frames, application.getCurrentSceneName().c_str());
    application.OnExit();
    if (application.getConfig()->isDirty() && !application.getConfig()->flush())
      std::fprintf(stderr, "tarnvik: cannot write the settings file %s\n", settingsFile.c_str());
  }
  setEngineClock(nullptr);
  return 0;
}
