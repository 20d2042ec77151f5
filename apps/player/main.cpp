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
#include "foundation/atomic_file.h"
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
#include "game_watcher.h"
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

// Writes the recorded input whole, through the shared atomic replacement.
bool writeRecord(const std::string& file, const std::string& text, std::string& error) {
  return tarnvik::replaceFileAtomically(file, text.data(), text.size(), 0644, false, error);
}

// A name given relative to the folder the player started in, made absolute before the game moves
// the engine's current folder.
std::string absoluteName(const std::string& name) {
  if (name.empty()) return name;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(name, ec);
  return ec ? name : absolute.string();
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

// One run of the player, as the steps it takes in order: the game and its places, the input script,
// the video output, the clock, the screen, the sound, then the application's frames and the outputs.
class PlayerRun {
 public:
  explicit PlayerRun(tarnvik::HostOptions options) : options_(std::move(options)) {}
  // The clock goes before the window, sound and input that may still read it while they close.
  ~PlayerRun() { tarnvik::setEngineClock(nullptr); }

  int run() {
    chooseGame();
    if (!loadInputScript()) return 1;
    if (!openVideo()) return 2;
    startClock();
    if (!makeScreen()) return 2;
    return play();
  }

 private:
  void chooseGame();
  bool loadInputScript();
  bool openVideo();
  void startClock();
  bool makeScreen();
  int play();
  bool handleHostEvents(CApplication& application);
  void advanceClock();
  void flushSettings(CApplication& application, const char* why);
  void reloadOnChange(CApplication& application);
  int writeOutputs(bool endedByPerson);

  tarnvik::HostOptions options_;
  std::unique_ptr<CCommandLine6> commandLine_;
  std::string gameFolder_, settingsFile_, dataFolder_;
  int width_ = 800, height_ = 600;
  bool windowed_ = false;
  std::optional<tarnvik::InputScript> script_;
  std::optional<tarnvik::InputRecorder> recorder_;
  std::unique_ptr<tarnvik::VideoOutput> video_;
  tarnvik::VirtualClock virtualClock_;
  tarnvik::RealClock realClock_;
  CLanguageOSVer language_;
  std::unique_ptr<CWindow> window_;
  std::unique_ptr<CInputManager> input_;
  // Sound outlives the application: its objects hold sounds of the mixer until they are deleted.
  std::unique_ptr<tarnvik::PlayerAudio> audio_;
  int frames_ = 0;
  uint32_t lastFlush_ = 0;
  std::chrono::steady_clock::time_point lastFrameTime_;
  std::chrono::steady_clock::time_point frameStart_;
  uint32_t realCarryUs_ = 0;
  std::vector<tarnvik::InputEvent> taken_;
  std::optional<tarnvik::GameWatcher> watcher_;
};

// The game folder, its settings file and its data folder. An archive alone names its game: the
// folder it was packed from, beside it (OUT.pik -> OUT). Engine options without a game folder take
// the current folder as the game; when it holds none ("tarnvik -window" started anywhere), the
// bundled demo plays with those options.
void PlayerRun::chooseGame() {
  using namespace tarnvik;
  // The game changes the current folder: relative output names mean the folder the player started in.
  options_.screenshotFile = absoluteName(options_.screenshotFile);
  options_.audioOutFile = absoluteName(options_.audioOutFile);
  options_.recordFile = absoluteName(options_.recordFile);
  if (options_.engineWords.empty() && !options_.archiveFile.empty())
    options_.engineWords = {"-path", archiveGameFolder(options_.archiveFile)};
  if (options_.engineWords.empty()) options_.engineWords = {"-path", demoFolder()};
  if (options_.archiveFile.empty() && CCommandLine6(joinEngineWords(options_.engineWords)).getPath().isEmpty() &&
      !holdsGame(std::filesystem::current_path())) {
    options_.engineWords.push_back("-path");
    options_.engineWords.push_back(demoFolder());
  }
  commandLine_ = std::make_unique<CCommandLine6>(joinEngineWords(options_.engineWords));
  gameFolder_ = commandLine_->getPath().isEmpty() ? std::string(".") : commandLine_->getPath().str();
  settingsFile_ = options_.settingsFile.empty() ? defaultSettingsFile(gameFolder_) : options_.settingsFile;
  dataFolder_ = defaultDataFolder(gameFolder_);
  commandLine_->getResolution(width_, height_);
  windowed_ = commandLine_->isWindowMode();
}

// A script of input is read whole before anything starts: a malformed line ends the run here.
bool PlayerRun::loadInputScript() {
  if (!options_.recordFile.empty()) recorder_.emplace();
  if (options_.inputFile.empty()) return true;
  script_.emplace();
  std::string error;
  std::vector<std::string> warnings;
  if (!script_->load(options_.inputFile, width_, height_, error, warnings)) {
    std::fprintf(stderr, "tarnvik: %s\n", error.c_str());
    return false;
  }
  for (const std::string& w : warnings) std::fprintf(stderr, "tarnvik: warning: %s\n", w.c_str());
  return true;
}

// A window unless --headless; without a display the run goes on headless on the real clock.
bool PlayerRun::openVideo() {
  using namespace tarnvik;
  if (!options_.headless) {
    std::unique_ptr<SdlVideoOutput> sdl = createSdlVideo();
    if (sdl->open(width_, height_, windowed_)) {
      TLOG_INFO("video: " << sdl->describe());
      video_ = std::move(sdl);
    } else {
      std::fprintf(stderr, "tarnvik: no display (%s); running headless on the real clock\n", sdl->lastError().c_str());
    }
  }
  if (!video_) {
    video_ = std::make_unique<HeadlessVideo>();
    if (!video_->open(width_, height_, windowed_)) {
      std::fprintf(stderr, "tarnvik: cannot use a %d x %d screen\n", width_, height_);
      return false;
    }
  }
  return true;
}

// A virtual clock advanced per frame when headless, the real clock otherwise. A recorded run moves a
// virtual clock by the real frame times, so that its replay sees exactly the same times. The random
// generator is seeded here too: a seed given, the script's, 1 headless, else the time.
void PlayerRun::startClock() {
  using namespace tarnvik;
  if (options_.headless) {
    setEngineClock(&virtualClock_);
    CMC_System::setEpoch(kHeadlessEpoch);
  } else if (recorder_) {
    setEngineClock(&virtualClock_);
  } else {
    setEngineClock(&realClock_);
  }
  uint32_t seed = options_.seed                  ? *options_.seed
                  : script_ && script_->seed() ? *script_->seed()
                  : options_.headless           ? 1u
                                                : static_cast<uint32_t>(std::time(nullptr));
  CXRandom::seed(seed);
  if (recorder_) recorder_->seed(seed);
}

// The window and its screen, the script types, input and sound.
bool PlayerRun::makeScreen() {
  using namespace tarnvik;
  CPath::setStartDirectory(CXString(std::filesystem::current_path().string()));
  window_ = std::make_unique<CWindow>(commandLine_.get(), &language_, video_.get(), width_, height_);
  if (commandLine_->isDebugMode() || log::enabled(log::Level::debug)) window_->setShowFPS(true);
  int screenError = windowed_ ? window_->CreateSurface() : window_->SetDisplayMode(width_, height_, 16);
  if (screenError != 0) {
    std::fprintf(stderr, "tarnvik: cannot make the %d x %d screen (error %d)\n", width_, height_, screenError);
    window_->ShowError(CXString("tarnvik"));
    return false;
  }
  registerEngineTypes();
  // Mouse and keyboard: the window's own, when it has them; scripted events join them per frame.
  input_ = std::make_unique<CInputManager>(window_.get(), video_->getInput());
  audio_ = std::make_unique<PlayerAudio>(window_.get(), commandLine_.get(), options_.headless, options_.volume,
                                         options_.muteUnfocused, !options_.audioOutFile.empty());
  return true;
}

// Builds the application and runs its frames until the frame limit, the game's exit, the window's
// close or a signal; then writes what the options asked for.
int PlayerRun::play() {
  using namespace tarnvik;
  CApplication application(window_.get(), settingsFile_, options_.archiveFile, commandLine_.get());
  application.setDataFolder(dataFolder_);
  if (!application.preinitializeApplication()) {
    // No error means the start sequence did its whole job without a game to run (precompiling).
    if (application.getStartError().empty()) return 0;
    std::fprintf(stderr, "tarnvik: %s\n", application.getStartError().c_str());
    if (video_->isWindowed()) video_->showMessage("Tarnvik", application.getStartError());
    return 2;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);

  lastFlush_ = engineClock().now();
  CXString scene = application.getCurrentSceneName();
  // A replay must see the game it was recorded with: no reloads under --input.
  if (options_.watch && script_)
    std::fprintf(stderr, "tarnvik: --watch is ignored while an --input script is replayed\n");
  else if (options_.watch)
    watcher_.emplace(gameFolder_);
  std::optional<int> limit = options_.frames;
  if (!limit && options_.headless) limit = std::max(kHeadlessDefaultFrames, script_ ? script_->length() : 0);
  lastFrameTime_ = std::chrono::steady_clock::now();
  bool closed = false;
  while ((!limit || frames_ < *limit) && !g_stop && !window_->isQuit()) {
    if (!handleHostEvents(application)) {
      closed = true;
      break;
    }
    frameStart_ = std::chrono::steady_clock::now();
    advanceClock();
    // Sound up to the tick's time is mixed before the tick, so a sound started in the tick begins
    // at the sample of the time the script saw.
    audio_->pump(engineClock().now());
    window_->Tick();
    application.domodal();
    ++frames_;
    if (watcher_) reloadOnChange(application);

    // Settings: written at most once a second of engine time while playing, and at once when the
    // scene changes or the window loses focus; the rest waits for the end of the run.
    CXString now = application.getCurrentSceneName();
    if (now != scene) {
      scene = now;
      flushSettings(application, "scene change");
    } else if (engineClock().now() - lastFlush_ >= kSettingsFlushMs) {
      flushSettings(application, "periodic");
    }

    // Pacing: a vsync present takes most of a frame and needs no help. A frame that came back much
    // sooner (no vsync, minimized, nothing presented, no display) sleeps out the rest of its period.
    // Headless runs on the virtual clock never wait.
    if (!options_.headless) {
      auto spent = std::chrono::steady_clock::now() - frameStart_;
      if (spent < kFallbackFrame / 4) std::this_thread::sleep_until(frameStart_ + kFallbackFrame);
    }
  }
  audio_->pump(engineClock().now());
  std::printf("tarnvik: %d frames, scene %s\n", frames_, application.getCurrentSceneName().c_str());
  int status = writeOutputs(closed || g_stop);
  flushSettings(application, "exit");
  application.OnExit();
  if (application.getConfig()->isDirty() && !application.getConfig()->flush())
    std::fprintf(stderr, "tarnvik: cannot write the settings file %s\n", settingsFile_.c_str());
  return status;
}

// The window's own events (close, focus, screenshot, mute), then the frame's input handed to the
// window before its tick. False when the person closed the window or the script quits.
bool PlayerRun::handleHostEvents(CApplication& application) {
  using namespace tarnvik;
  std::vector<HostEvent> events;
  video_->pollEvents(events);
  for (const HostEvent& event : events) {
    switch (event.kind) {
      case HostEvent::kQuit:
        return false;
      case HostEvent::kFocusLost:
        window_->OnActivateApp(false);
        audio_->focus(false);
        flushSettings(application, "focus lost");
        break;
      case HostEvent::kFocusGained:
        window_->OnActivateApp(true);
        audio_->focus(true);
        break;
      case HostEvent::kScreenshot:
        writeNumberedScreenshot(*window_, dataFolder_);
        break;
      case HostEvent::kMuteToggle:
        audio_->toggleMute();
        break;
    }
  }
  std::vector<InputEvent> scripted;
  if (script_) script_->eventsAt(frames_, scripted);
  bool quitNow = false;
  taken_ = input_->pump(std::move(scripted), quitNow);
  return !quitNow;
}

// Headless: the frame's period, or the script's clock line. Recorded: the measured real time (kept
// to the millisecond with the remainder carried), written into the recording with the frame's input.
void PlayerRun::advanceClock() {
  uint32_t advance = static_cast<uint32_t>(options_.frameMs);
  if (options_.headless) {
    if (script_)
      if (std::optional<uint32_t> ms = script_->clockAt(frames_)) advance = *ms;
    virtualClock_.advance(advance);
  } else if (recorder_) {
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(frameStart_ - lastFrameTime_).count();
    uint64_t total = static_cast<uint64_t>(us < 0 ? 0 : us) + realCarryUs_;
    advance = static_cast<uint32_t>(std::min<uint64_t>(total / 1000, 60000));
    realCarryUs_ = static_cast<uint32_t>(total % 1000);
    virtualClock_.advance(advance);
  }
  lastFrameTime_ = frameStart_;
  if (recorder_) recorder_->frame(frames_, advance, taken_);
}

// --watch: a changed file of the game reloads it (settings kept) and returns to the current scene.
void PlayerRun::reloadOnChange(CApplication& application) {
  std::optional<std::string> changed = watcher_->poll();
  if (!changed) return;
  TLOG_INFO("reloading the game: " << *changed << " changed");
  flushSettings(application, "reload");
  CXString scene = application.getCurrentSceneName();
  application.reloadSameGame(scene);
  // Whatever the reload itself wrote is not a change to answer.
  watcher_->rescan();
}

void PlayerRun::flushSettings(CApplication& application, const char* why) {
  CConfig* config = application.getConfig();
  if (!config || !config->isDirty()) return;
  if (config->flush()) TLOG_DEBUG("settings written to " << settingsFile_ << " (" << why << ")");
  lastFlush_ = tarnvik::engineClock().now();
}

// The recording, the captured sound and the last screen; the failed-output status when one of them
// could not be written.
int PlayerRun::writeOutputs(bool endedByPerson) {
  int status = 0;
  std::string error;
  if (recorder_) {
    // A run the person ended (window closed, interrupted) replays up to the same frame.
    if (endedByPerson) recorder_->quit(frames_);
    if (!writeRecord(options_.recordFile, recorder_->text(), error)) {
      std::fprintf(stderr, "tarnvik: --record: %s\n", error.c_str());
      status = kExitOutputFailed;
    }
  }
  if (!options_.audioOutFile.empty()) {
    if (audio_->writeCapture(options_.audioOutFile, error)) {
      TLOG_INFO("sound written to " << options_.audioOutFile);
    } else {
      std::fprintf(stderr, "tarnvik: --audio-out: %s\n", error.c_str());
      status = kExitOutputFailed;
    }
  }
  if (!options_.screenshotFile.empty()) {
    if (writeScreen(*window_, options_.screenshotFile, error)) {
      TLOG_INFO("screenshot written to " << options_.screenshotFile);
    } else {
      std::fprintf(stderr, "tarnvik: --screenshot: %s\n", error.c_str());
      status = kExitOutputFailed;
    }
  }
  return status;
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
  PlayerRun run(std::move(options));
  int status = run.run();
  log::reportRepeats();
  return status;
}
