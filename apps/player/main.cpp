// tarnvik: the player. Creates the video output, the window and the application over the engine command
// line, then runs frames: host events, the frame tick, the structure tick and the settings flush.
#include <atomic>
#include <cctype>
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
#include "foundation/geometry.h"
#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "graphics/formats/png.h"
#include "graphics/window.h"
#include "input/input_manager.h"
#include "input/input_script.h"
#include "objects/register.h"
#include "objects/program/system.h"
#include "platform/clock.h"
#include "player_audio.h"
#include "platform/sdl_video.h"
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
// Settings written at most this often while playing (engine milliseconds).
constexpr uint32_t kSettingsFlushMs = 1000;
// Frame period when nothing else paces the loop (no vsync, minimized, no display).
constexpr auto kFallbackFrame = std::chrono::microseconds(1000000 / 60);
// Exit status when the run finished but the --screenshot file could not be written.
constexpr int kExitOutputFailed = 3;

std::string executableDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

// The bundled demo: the playable folder the build generates beside the player (definition files
// with their generated art and sound), else the one of the build the player came from.
// Whether a folder is a game: it has a "Dane" folder (in any letter case).
bool holdsGame(const std::filesystem::path& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    std::string name = entry.path().filename().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "dane" && entry.is_directory(ec)) return true;
  }
  return false;
}

std::string demoFolder() {
  for (const std::string& candidate : {executableDir() + "/games/demo", std::string(TARNVIK_DEMO_DIR)}) {
    std::error_code ec;
    if (std::filesystem::is_directory(candidate, ec)) return std::filesystem::weakly_canonical(candidate, ec).string();
  }
  return TARNVIK_DEMO_DIR;
}

// Writes the composed screen; false with a message on failure.
bool writeScreen(CWindow& window, const std::string& file, std::string& error) {
  const uint16_t* pixels = window.GetScreenPtr();
  CXSize size = window.GetScreenSize();
  if (!pixels || size.isEmpty()) {
    error = "there is no screen to capture";
    return false;
  }
  return tarnvik::png::write565(file, pixels, window.GetScreenPitch(), size.width, size.height, error);
}

// Writes the recorded input whole: a temporary file beside it, then renamed over it.
bool writeRecord(const std::string& file, const std::string& text) {
  std::string temporary = file + ".tmp";
  {
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, file, ec);
  if (ec) std::remove(temporary.c_str());
  return !ec;
}

// F12 in a window: the next free "screenshot-NNNN.png" in the per-game data folder.
void writeNumberedScreenshot(CWindow& window, const std::string& dataFolder) {
  std::error_code ec;
  std::filesystem::create_directories(dataFolder, ec);
  std::string file;
  for (int n = 1; n < 10000 && file.empty(); ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "/screenshot-%04d.png", n);
    if (!std::filesystem::exists(dataFolder + name, ec)) file = dataFolder + name;
  }
  std::string error;
  if (file.empty())
    TLOG_ERROR("screenshot: " << dataFolder << " already holds 9999 screenshots");
  else if (writeScreen(window, file, error))
    TLOG_INFO("screenshot written to " << file);
  else
    TLOG_ERROR("screenshot: " << error);
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
  // The game changes the current folder: a relative screenshot name means the folder the player started in.
  std::string screenshotFile = options.screenshotFile;
  if (!screenshotFile.empty()) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(screenshotFile, ec);
    if (!ec) screenshotFile = absolute.string();
  }

  // An archive alone names its game: the folder it was packed from, beside it (OUT.pik -> OUT).
  if (options.engineWords.empty() && !options.archiveFile.empty())
    options.engineWords = {"-path", archiveGameFolder(options.archiveFile)};
  if (options.engineWords.empty()) options.engineWords = {"-path", demoFolder()};
  // Engine options without a game folder take the current folder as the game; when it holds none
  // ("tarnvik -window" started anywhere), the bundled demo plays with those options.
  if (options.archiveFile.empty() && CCommandLine6(joinEngineWords(options.engineWords)).getPath().isEmpty() &&
      !holdsGame(std::filesystem::current_path())) {
    options.engineWords.push_back("-path");
    options.engineWords.push_back(demoFolder());
  }
  CCommandLine6 commandLine(joinEngineWords(options.engineWords));
  std::string gameFolder = commandLine.getPath().isEmpty() ? std::string(".") : commandLine.getPath().str();

  std::string settingsFile = options.settingsFile;
  if (settingsFile.empty()) settingsFile = defaultSettingsFile(gameFolder);
  std::string dataFolder = defaultDataFolder(gameFolder);

  int width = 800, height = 600;
  commandLine.getResolution(width, height);
  bool windowed = commandLine.isWindowMode();

  // A script of input is read whole before anything starts: a malformed line ends the run here.
  std::optional<InputScript> script;
  if (!options.inputFile.empty()) {
    script.emplace();
    std::vector<std::string> warnings;
    if (!script->load(options.inputFile, width, height, error, warnings)) {
      std::fprintf(stderr, "tarnvik: %s\n", error.c_str());
      return 1;
    }
    for (const std::string& w : warnings) std::fprintf(stderr, "tarnvik: warning: %s\n", w.c_str());
  }
  std::optional<InputRecorder> recorder;
  if (!options.recordFile.empty()) {
    recorder.emplace();
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(options.recordFile, ec);
    if (!ec) options.recordFile = absolute.string();
  }

  // Video: a window unless --headless; without a display the run goes on headless on the real clock.
  std::unique_ptr<VideoOutput> video;
  if (!options.headless) {
    std::unique_ptr<SdlVideoOutput> sdl = createSdlVideo();
    if (sdl->open(width, height, windowed)) {
      TLOG_INFO("video: " << sdl->describe());
      video = std::move(sdl);
    } else {
      std::fprintf(stderr, "tarnvik: no display (%s); running headless on the real clock\n", sdl->lastError().c_str());
    }
  }
  if (!video) {
    video = std::make_unique<HeadlessVideo>();
    if (!video->open(width, height, windowed)) {
      std::fprintf(stderr, "tarnvik: cannot use a %d x %d screen\n", width, height);
      return 2;
    }
  }

  // Time: a virtual clock advanced per frame when headless, the real clock otherwise. A recorded run
  // moves a virtual clock by the real frame times, so that its replay sees exactly the same times.
  VirtualClock virtualClock;
  RealClock realClock;
  if (options.headless) {
    setEngineClock(&virtualClock);
    CMC_System::setEpoch(kHeadlessEpoch);
  } else if (recorder) {
    setEngineClock(&virtualClock);
  } else {
    setEngineClock(&realClock);
  }
  uint32_t seed = options.seed                ? *options.seed
                  : script && script->seed() ? *script->seed()
                  : options.headless         ? 1u
                                             : static_cast<uint32_t>(std::time(nullptr));
  CXRandom::seed(seed);
  if (recorder) recorder->seed(seed);

  CPath::setStartDirectory(CXString(std::filesystem::current_path().string()));
  CLanguageOSVer language;
  CWindow window(&commandLine, &language, video.get(), width, height);
  if (commandLine.isDebugMode() || log::enabled(log::Level::debug)) window.setShowFPS(true);
  int screenError = windowed ? window.CreateSurface() : window.SetDisplayMode(width, height, 16);
  if (screenError != 0) {
    std::fprintf(stderr, "tarnvik: cannot make the %d x %d screen (error %d)\n", width, height, screenError);
    window.ShowError(CXString("tarnvik"));
    setEngineClock(nullptr);
    return 2;
  }
  registerEngineTypes();
  // Mouse and keyboard: the window's own, when it has them; scripted events join them per frame.
  CInputManager input(&window, video->getInput());
  // Sound outlives the application: its objects hold sounds of the mixer until they are deleted.
  PlayerAudio audio(&window, &commandLine, options.headless, options.volume, options.muteUnfocused,
                    !options.audioOutFile.empty());
  std::string audioOutFile = options.audioOutFile;
  if (!audioOutFile.empty()) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(audioOutFile, ec);
    if (!ec) audioOutFile = absolute.string();
  }

  int frames = 0;
  int status = 0;
  {
    CApplication application(&window, settingsFile, options.archiveFile, &commandLine);
    application.setDataFolder(dataFolder);
    if (!application.preinitializeApplication()) {
      setEngineClock(nullptr);
      // No error means the start sequence did its whole job without a game to run (precompiling).
      if (application.getStartError().empty()) return 0;
      std::fprintf(stderr, "tarnvik: %s\n", application.getStartError().c_str());
      if (video->isWindowed()) video->showMessage("Tarnvik", application.getStartError());
      return 2;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    // Settings: written at most once a second of engine time while playing, and at once when the
    // scene changes or the window loses focus; the rest waits for the end of the run.
    uint32_t lastFlush = engineClock().now();
    auto flushSettings = [&](const char* why) {
      CConfig* config = application.getConfig();
      if (!config || !config->isDirty()) return;
      if (config->flush()) TLOG_DEBUG("settings written to " << settingsFile << " (" << why << ")");
      lastFlush = engineClock().now();
    };
    CXString scene = application.getCurrentSceneName();

    std::optional<int> limit = options.frames;
    if (!limit && options.headless) limit = std::max(kHeadlessDefaultFrames, script ? script->length() : 0);
    auto lastFrameTime = std::chrono::steady_clock::now();
    uint32_t realCarryUs = 0;
    std::vector<HostEvent> events;
    bool closed = false;
    while ((!limit || frames < *limit) && !g_stop && !window.isQuit() && !closed) {
      events.clear();
      video->pollEvents(events);
      for (const HostEvent& event : events) {
        switch (event.kind) {
          case HostEvent::kQuit:
            closed = true;
            break;
          case HostEvent::kFocusLost:
            window.OnActivateApp(false);
            audio.focus(false);
            flushSettings("focus lost");
            break;
          case HostEvent::kFocusGained:
            window.OnActivateApp(true);
            audio.focus(true);
            break;
          case HostEvent::kScreenshot:
            writeNumberedScreenshot(window, dataFolder);
            break;
          case HostEvent::kMuteToggle:
            audio.toggleMute();
            break;
        }
      }
      if (closed) break;

      // Input for this frame, handed to the window before its tick.
      std::vector<InputEvent> scripted;
      if (script) script->eventsAt(frames, scripted);
      bool quitNow = false;
      std::vector<InputEvent> taken = input.pump(std::move(scripted), quitNow);
      if (quitNow) {
        closed = true;
        break;
      }

      auto frameStart = std::chrono::steady_clock::now();
      uint32_t advance = static_cast<uint32_t>(options.frameMs);
      if (options.headless) {
        if (script)
          if (std::optional<uint32_t> ms = script->clockAt(frames)) advance = *ms;
        virtualClock.advance(advance);
      } else if (recorder) {
        auto us = std::chrono::duration_cast<std::chrono::microseconds>(frameStart - lastFrameTime).count();
        uint64_t total = static_cast<uint64_t>(us < 0 ? 0 : us) + realCarryUs;
        advance = static_cast<uint32_t>(std::min<uint64_t>(total / 1000, 60000));
        realCarryUs = static_cast<uint32_t>(total % 1000);
        virtualClock.advance(advance);
      }
      lastFrameTime = frameStart;
      if (recorder) recorder->frame(frames, advance, taken);
      // Sound up to the tick's time is mixed before the tick, so a sound started in the tick begins
      // at the sample of the time the script saw.
      audio.pump(engineClock().now());
      window.Tick();
      application.domodal();
      ++frames;

      CXString now = application.getCurrentSceneName();
      if (now != scene) {
        scene = now;
        flushSettings("scene change");
      } else if (engineClock().now() - lastFlush >= kSettingsFlushMs) {
        flushSettings("periodic");
      }

      // Pacing: a vsync present takes most of a frame and needs no help. A frame that came back much
      // sooner (no vsync, minimized, nothing presented, no display) sleeps out the rest of its period.
      // Headless runs on the virtual clock never wait.
      if (!options.headless) {
        auto spent = std::chrono::steady_clock::now() - frameStart;
        if (spent < kFallbackFrame / 4) std::this_thread::sleep_until(frameStart + kFallbackFrame);
      }
    }
    audio.pump(engineClock().now());
    std::printf("tarnvik: %d frames, scene %s\n", frames, application.getCurrentSceneName().c_str());
    if (recorder) {
      // A run the person ended (window closed, interrupted) replays up to the same frame.
      if (closed || g_stop) recorder->quit(frames);
      if (!writeRecord(options.recordFile, recorder->text())) {
        std::fprintf(stderr, "tarnvik: --record: cannot write %s\n", options.recordFile.c_str());
        status = kExitOutputFailed;
      }
    }
    if (!audioOutFile.empty()) {
      if (audio.writeCapture(audioOutFile, error)) {
        TLOG_INFO("sound written to " << audioOutFile);
      } else {
        std::fprintf(stderr, "tarnvik: --audio-out: %s\n", error.c_str());
        status = kExitOutputFailed;
      }
    }
    if (!screenshotFile.empty()) {
      if (writeScreen(window, screenshotFile, error)) {
        TLOG_INFO("screenshot written to " << screenshotFile);
      } else {
        std::fprintf(stderr, "tarnvik: --screenshot: %s\n", error.c_str());
        status = kExitOutputFailed;
      }
    }
    flushSettings("exit");
    application.OnExit();
    if (application.getConfig()->isDirty() && !application.getConfig()->flush())
      std::fprintf(stderr, "tarnvik: cannot write the settings file %s\n", settingsFile.c_str());
  }
  setEngineClock(nullptr);
  return status;
}
