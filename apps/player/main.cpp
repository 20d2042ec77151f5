// tarnvik: the player. Creates the video output, the window and the application over the engine command
// line, then runs frames: host events, the frame tick, the structure tick and the settings flush.
#include <sys/stat.h>

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

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "application/application.h"
#include "application/host_options.h"
#include "application/menu/player_options.h"
#include "application/structure_runners.h"
#include "files/file_bytes.h"
#include "files/path.h"
#include "foundation/atomic_file.h"
#include "foundation/geometry.h"
#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "graphics/formats/png.h"
#include "graphics/frame_cache.h"
#include "graphics/window.h"
#include "input/input_manager.h"
#include "input/input_script.h"
#include "objects/register.h"
#include "objects/text/mc_font.h"
#include "objects/program/system.h"
#include "platform/clock.h"
#include "runtime/behaviour.h"
#include "game_watcher.h"
#include "main_loop.h"
#include "menu_host.h"
#include "player_audio.h"
#include "player_saves.h"
#include "versions.h"
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

// The bundled demo: the playable folder the build generates beside the player (definition files
// with their generated art and sound); for an installed player the one installed with it
// (PREFIX/share/tarnvik/demo seen from PREFIX/bin); else the one of the build the player came from.
std::string demoFolder() {
  for (const std::string& candidate : {executableDir() + "/games/demo", executableDir() + "/" TARNVIK_INSTALLED_DEMO,
                                       std::string(TARNVIK_DEMO_DIR)}) {
    std::error_code ec;
    if (std::filesystem::is_directory(candidate, ec)) return std::filesystem::weakly_canonical(candidate, ec).string();
  }
  return TARNVIK_DEMO_DIR;
}

// Writes the screen as shown (the composed screen, or the player's menu over it); false with a
// message on failure.
bool writeScreen(CWindow& window, const tarnvik::MenuHost* menu, const std::string& file, std::string& error) {
  int pitch = window.GetScreenPitch();
  const uint16_t* pixels = menu ? menu->shownScreen(pitch) : window.GetScreenPtr();
  CXSize size = window.GetScreenSize();
  if (!pixels || size.isEmpty()) {
    error = "there is no screen to capture";
    return false;
  }
  return tarnvik::png::write565(file, pixels, pitch, size.width, size.height, error);
}

// Writes the recorded input whole, through the shared atomic replacement.
bool writeRecord(const std::string& file, const std::string& text, std::string& error) {
  return tarnvik::replaceFileAtomically(file, text.data(), text.size(), 0644, false, error);
}

// A name given relative to the folder the player started in, made absolute before the game moves
// the engine's current folder.
// Whether a file name reaches this process's standard output (/dev/stdout, or the file it is
// redirected to): the run's summary line then goes to stderr, so a piped WAV or PNG stays whole.
bool reachesStandardOutput(const std::string& file) {
  struct stat named {}, out {};
  return !file.empty() && ::stat(file.c_str(), &named) == 0 && ::fstat(1, &out) == 0 && named.st_dev == out.st_dev &&
         named.st_ino == out.st_ino;
}

std::string absoluteName(const std::string& name) {
  if (name.empty()) return name;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(name, ec);
  return ec ? name : absolute.string();
}

// The first free name made from `pattern` (one %d-style number, 1 to 9999) in the per-game data
// folder, which is made when missing; empty when all are taken.
std::string nextNumberedFile(const std::string& dataFolder, const char* pattern) {
  std::error_code ec;
  std::filesystem::create_directories(dataFolder, ec);
  for (int n = 1; n < 10000; ++n) {
    char name[48];
    std::snprintf(name, sizeof name, pattern, n);
    if (!std::filesystem::exists(dataFolder + "/" + name, ec)) return dataFolder + "/" + name;
  }
  return {};
}

// Hands a file to the desktop's default application, without waiting for it (and without leaving
// a child behind: the opener runs in a grandchild).
void openWithDesktop(const std::string& file) {
  pid_t child = fork();
  if (child == 0) {
    if (fork() == 0) {
      int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 1);
        dup2(null, 2);
      }
      execlp("xdg-open", "xdg-open", file.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    _exit(0);
  }
  if (child > 0) waitpid(child, nullptr, 0);
}

// APPLICATION^PRINT: the picture as "print-N.png" in the per-game data folder, and in a window also
// opened with the desktop's default application when xdg-open is there.
void printPicture(const PrintedPicture& picture, const std::string& dataFolder, bool inWindow) {
  std::string file = nextNumberedFile(dataFolder, "print-%d.png");
  std::string error;
  if (file.empty()) {
    TLOG_ERROR("PRINT: " << dataFolder << " already holds 9999 prints");
    return;
  }
  if (!tarnvik::png::write565(file, picture.pixels.data(), picture.width, picture.width, picture.height, error,
                              picture.alpha.empty() ? nullptr : picture.alpha.data())) {
    TLOG_ERROR("PRINT: " << error);
    return;
  }
  TLOG_INFO("PRINT: written to " << file);
  if (inWindow) openWithDesktop(file);
}

// F12 in a window: the next free "screenshot-NNNN.png" in the per-game data folder.
void writeNumberedScreenshot(CWindow& window, const tarnvik::MenuHost* menu, const std::string& dataFolder) {
  std::string file = nextNumberedFile(dataFolder, "screenshot-%04d.png");
  std::string error;
  if (file.empty())
    TLOG_ERROR("screenshot: " << dataFolder << " already holds 9999 screenshots");
  else if (writeScreen(window, menu, file, error))
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
  ~PlayerRun() {
    application_.reset();
    CMC_Application_Runner::setPrinter(nullptr);
    tarnvik::setEngineClock(nullptr);
  }

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
  tarnvik::ScaleMode scaleMode();
  void startClock();
  bool makeScreen();
  int play();
  bool playFrame();
  int finishPlaying();
  bool handleHostEvents(CApplication& application);
  void pace();
  void changeFocus(CApplication& application, bool focused);
  void advanceClock();
  void flushSettings(CApplication& application, const char* why);
  void reloadOnChange(CApplication& application);
  std::optional<int> startSaves(CApplication& application);
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
  // The host's time (frames, sound) and the game's: the game's stands still while the menu is open.
  tarnvik::Clock* hostClock_ = nullptr;
  std::optional<tarnvik::HeldClock> gameClock_;
  tarnvik::PlayerOptions kept_;
  CLanguageOSVer language_;
  std::unique_ptr<CWindow> window_;
  std::unique_ptr<CInputManager> input_;
  // Sound outlives the application: its objects hold sounds of the mixer until they are deleted.
  std::unique_ptr<tarnvik::PlayerAudio> audio_;
  std::unique_ptr<tarnvik::MenuHost> menu_;
  int frames_ = 0;
  uint32_t lastFlush_ = 0;
  std::chrono::steady_clock::time_point lastFrameTime_;
  std::chrono::steady_clock::time_point frameStart_;
  uint32_t realCarryUs_ = 0;
  std::vector<tarnvik::InputEvent> taken_;
  std::optional<tarnvik::GameWatcher> watcher_;
  std::unique_ptr<tarnvik::PlayerSaves> saves_;
  // Declared last, so it goes first: its objects still reach the window, sound and saves above.
  std::unique_ptr<CApplication> application_;
  std::optional<int> limit_;
  CXString scene_;
  bool closed_ = false;
};

// The game folder, its settings file and its data folder. The game is the plain word naming a folder
// (or -path); an archive alone names its game: the folder it was packed from, beside it
// (OUT.pik -> OUT). Without either the game is the current folder; when that holds none
// ("tarnvik -window" started anywhere), the bundled demo plays with the options given.
void PlayerRun::chooseGame() {
  using namespace tarnvik;
  // The game changes the current folder: relative output names mean the folder the player started in.
  options_.screenshotFile = absoluteName(options_.screenshotFile);
  options_.audioOutFile = absoluteName(options_.audioOutFile);
  options_.recordFile = absoluteName(options_.recordFile);
  options_.loadFile = absoluteName(options_.loadFile);
  for (auto& at : options_.saveAt) at.second = absoluteName(at.second);
  commandLine_ = std::make_unique<CCommandLine6>(joinEngineWords(options_.engineWords));
  // Set on the command line rather than joined into it: a folder named by a plain word may hold blanks.
  if (!options_.gameFolder.empty())
    commandLine_->setPath(CXString(options_.gameFolder));
  else if (commandLine_->getPath().isEmpty() && !options_.archiveFile.empty())
    commandLine_->setPath(CXString(archiveGameFolder(options_.archiveFile)));
  else if (commandLine_->getPath().isEmpty() && !holdsGame(std::filesystem::current_path()))
    commandLine_->setPath(CXString(demoFolder()));
  gameFolder_ = commandLine_->getPath().isEmpty() ? std::string(".") : commandLine_->getPath().str();
  TLOG_INFO("game: " << gameFolder_ << (options_.archiveFile.empty() ? "" : " (archive " + options_.archiveFile + ")"));
  settingsFile_ = options_.settingsFile.empty() ? defaultSettingsFile(gameFolder_) : options_.settingsFile;
  dataFolder_ = defaultDataFolder(gameFolder_);
  commandLine_->getResolution(width_, height_);
  // Full screen unless -window, or the player's menu last chose a window.
  kept_ = readPlayerOptions(playerOptionsFile());
  if (options_.volume) kept_.masterVolume = *options_.volume;
  windowed_ = commandLine_->isWindowMode() || kept_.fullScreen == false;
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
    sdl->setScaleMode(scaleMode());
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

// The scale mode: --scale, which is then kept in the player's options for the next runs; else the one
// kept there; else automatic.
tarnvik::ScaleMode PlayerRun::scaleMode() {
  using namespace tarnvik;
  if (!options_.scale) return keptScaleMode(playerOptionsFile()).value_or(ScaleMode::automatic);
  std::string error;
  if (!keepScaleMode(playerOptionsFile(), *options_.scale, error)) std::fprintf(stderr, "tarnvik: %s\n", error.c_str());
  return *options_.scale;
}

// A virtual clock advanced per frame when headless, the real clock otherwise. A recorded run moves a
// virtual clock by the real frame times, so that its replay sees exactly the same times. The random
// generator is seeded here too: a seed given, the script's, 1 headless, else the time.
void PlayerRun::startClock() {
  using namespace tarnvik;
  if (options_.onVirtualClock()) CMC_System::setEpoch(kHeadlessEpoch);
  hostClock_ = options_.onVirtualClock() || recorder_ ? static_cast<Clock*>(&virtualClock_) : &realClock_;
  gameClock_.emplace(*hostClock_);
  setEngineClock(&*gameClock_);
  uint32_t seed = options_.seed                  ? *options_.seed
                  : script_ && script_->seed() ? *script_->seed()
                  : options_.onVirtualClock()   ? 1u
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
  installBuiltinFont();
  if (options_.frameCacheMB) CFrameCache::instance().setBudget(static_cast<size_t>(*options_.frameCacheMB) << 20);
  // Files edited while the game runs must not be mapped (a file cut short would take its pages along).
  if (options_.watch) FileBytes::setMapping(false);
  // Mouse and keyboard: the window's own, when it has them; scripted events join them per frame.
  input_ = std::make_unique<CInputManager>(window_.get(), video_->getInput());
  audio_ = std::make_unique<PlayerAudio>(window_.get(), commandLine_.get(), options_.onVirtualClock(), kept_.masterVolume,
                                         options_.muteUnfocused, !options_.audioOutFile.empty());
  audio_->setVolumes(kept_.masterVolume, kept_.musicVolume);
  audio_->setMuted(kept_.mute);
  menu_ = std::make_unique<MenuHost>(*window_, *video_, *audio_, *gameClock_, builtinFont(), kept_, playerOptionsFile());
  return true;
}

// Builds the application and runs its frames until the frame limit, the game's exit, the window's
// close or a signal; then writes what the options asked for.
int PlayerRun::play() {
  using namespace tarnvik;
  application_ = std::make_unique<CApplication>(window_.get(), settingsFile_, options_.archiveFile, commandLine_.get());
  CApplication& application = *application_;
  application.setDataFolder(dataFolder_);
  // The games installed beside the demo (PREFIX/share/tarnvik) are read-only, whoever runs them.
  application.setInstalledGamesFolder(
      CXString((std::filesystem::path(executableDir()) / TARNVIK_INSTALLED_DEMO).parent_path().string()));
  const bool inWindow = video_->isWindowed();
  CMC_Application_Runner::setPrinter(
      [this, inWindow](const PrintedPicture& picture) { printPicture(picture, dataFolder_, inWindow); });
  // A run that starts from a save (or only lists them) builds the game without running its scripts.
  CMC_Behaviour::holdAll(PlayerSaves::startsFromSave(options_) || options_.listSaves);
  bool built = application.preinitializeApplication();
  CMC_Behaviour::holdAll(false);
  if (!built) {
    // No error means the start sequence did its whole job without a game to run (precompiling).
    if (application.getStartError().empty()) return 0;
    std::fprintf(stderr, "tarnvik: %s\n", application.getStartError().c_str());
    if (video_->isWindowed()) video_->showMessage("Tarnvik", application.getStartError());
    return 2;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  // An output piped into a program that quits early fails its write (and the run's status), not the process.
  std::signal(SIGPIPE, SIG_IGN);

  if (std::optional<int> status = startSaves(application)) return *status;
  lastFlush_ = engineClock().now();
  scene_ = application.getCurrentSceneName();
  // A replay must see the game it was recorded with: no reloads under --input.
  if (options_.watch && script_)
    std::fprintf(stderr, "tarnvik: --watch is ignored while an --input script is replayed\n");
  else if (options_.watch)
    watcher_.emplace(gameFolder_);
  limit_ = options_.frames;
  if (!limit_ && options_.headless) limit_ = std::max(kHeadlessDefaultFrames, script_ ? script_->length() : 0);
  lastFrameTime_ = std::chrono::steady_clock::now();
  return runMainLoop(1000 / options_.frameMs, [this] { return playFrame(); }, [this] { return finishPlaying(); });
}

// One frame: the host's events, the clock, the menu or the game's tick, the settings kept. False when
// the run ends (the frame limit, the game's exit, the window's close, the menu's Quit or a signal).
bool PlayerRun::playFrame() {
  using namespace tarnvik;
  CApplication& application = *application_;
  if ((limit_ && frames_ >= *limit_) || g_stop || window_->isQuit()) return false;
  if (!handleHostEvents(application)) {
    closed_ = true;
    return false;
  }
  frameStart_ = std::chrono::steady_clock::now();
  advanceClock();
  bool menuOpen = menu_->update();
  // Sound up to the tick's time is mixed before the tick, so a sound started in the tick begins
  // at the sample of the time the script saw (silence while the menu holds it).
  audio_->pump(hostClock_->now());
  if (menu_->quitAsked()) {
    closed_ = true;
    return false;
  }
  if (menuOpen) {
    ++frames_;
    pace();
    return true;
  }
  window_->Tick();
  application.domodal();
  ++frames_;
  saves_->afterFrame(frames_ - 1);
  if (watcher_) reloadOnChange(application);

  // Settings: written at most once a second of engine time while playing, and at once when the
  // scene changes or the window loses focus; the rest waits for the end of the run.
  CXString now = application.getCurrentSceneName();
  if (now != scene_) {
    scene_ = now;
    flushSettings(application, "scene change");
  } else if (engineClock().now() - lastFlush_ >= kSettingsFlushMs) {
    flushSettings(application, "periodic");
  }
  pace();
  return true;
}

// After the last frame: the sound up to its time, the outputs asked for, the settings and the game's exit.
int PlayerRun::finishPlaying() {
  using namespace tarnvik;
  CApplication& application = *application_;
  audio_->pump(hostClock_->now());
  bool outputToStdout = reachesStandardOutput(options_.audioOutFile) || reachesStandardOutput(options_.screenshotFile) ||
                        reachesStandardOutput(options_.recordFile);
  std::fprintf(outputToStdout ? stderr : stdout, "tarnvik: %d frames, scene %s\n", frames_,
               application.getCurrentSceneName().c_str());
  int status = writeOutputs(closed_ || g_stop);
  flushSettings(application, "exit");
  application.OnExit();
  if (application.getConfig()->isDirty() && !application.getConfig()->flush())
    std::fprintf(stderr, "tarnvik: cannot write the settings file %s\n", settingsFile_.c_str());
  return status;
}

// Pacing: a vsync present takes most of a frame and needs no help. A frame that came back much
// sooner (no vsync, minimized, nothing presented, no display) sleeps out the rest of its period.
// Headless runs on the virtual clock never wait, nor do frames the loop calls at their rate (the browser).
void PlayerRun::pace() {
  if (options_.headless || tarnvik::loopPacesFrames()) return;
  auto spent = std::chrono::steady_clock::now() - frameStart_;
  if (spent < kFallbackFrame / 4) std::this_thread::sleep_until(frameStart_ + kFallbackFrame);
}

// The window's own events (close, screenshot, mute, the menu), then the frame's input handed to the window
// before its tick. Focus changes travel with the input, so --record keeps them and a script replays
// them. False when the person closed the window or the script quits.
bool PlayerRun::handleHostEvents(CApplication& application) {
  using namespace tarnvik;
  std::vector<HostEvent> events;
  video_->pollEvents(events);
  std::vector<InputEvent> input;
  for (const HostEvent& event : events) {
    switch (event.kind) {
      case HostEvent::kQuit:
        return false;
      case HostEvent::kFocusLost:
      case HostEvent::kFocusGained:
        input.emplace_back();
        input.back().kind = event.kind == HostEvent::kFocusGained ? InputEvent::kFocusIn : InputEvent::kFocusOut;
        break;
      case HostEvent::kScreenshot:
        writeNumberedScreenshot(*window_, menu_.get(), dataFolder_);
        break;
      case HostEvent::kMuteToggle:
        audio_->toggleMute();
        break;
      case HostEvent::kMenu:
        // As input, so that --record keeps it and a replay opens the menu at the same frame.
        input.emplace_back();
        input.back().kind = InputEvent::kMenu;
        break;
    }
  }
  if (script_) script_->eventsAt(frames_, input);
  // A script's gamepad lines drive the window's virtual controller; the pad then moves and clicks.
  std::erase_if(input, [this](const InputEvent& e) {
    bool pad = e.kind == InputEvent::kPadStick || e.kind == InputEvent::kPadDown || e.kind == InputEvent::kPadUp;
    if (pad) video_->drivePad(e.kind, e.x, e.y, e.button);
    return pad;
  });
  bool quitNow = false;
  // The player's menu takes its keys (and, while open, all keys and the pointer) before the game.
  taken_ = input_->pump(std::move(input), quitNow, [this](const InputEvent& e) { return menu_->takes(e); });
  for (const InputEvent& e : taken_)
    if (e.kind == InputEvent::kFocusIn || e.kind == InputEvent::kFocusOut) changeFocus(application, e.kind == InputEvent::kFocusIn);
  return !quitNow;
}

// A change of focus: the window pauses or resumes composing, sound follows --mute-unfocused, the
// settings are kept when it is lost, and the game hears ONACTIVATE or ONDEACTIVATE. Repeats do nothing.
void PlayerRun::changeFocus(CApplication& application, bool focused) {
  if (window_->isActive() == focused) return;
  window_->OnActivateApp(focused);
  audio_->focus(focused);
  if (!focused) flushSettings(application, "focus lost");
  application.OnActivateApp(focused);
}

// Headless: the frame's period, or the script's clock line. Recorded: the measured real time (kept
// to the millisecond with the remainder carried), written into the recording with the frame's input.
void PlayerRun::advanceClock() {
  uint32_t advance = static_cast<uint32_t>(options_.frameMs);
  if (options_.onVirtualClock()) {
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

// The game's saves: --list-saves ends the run here, --load and --load-slot put a save in place
// (a refused one ends the run with status 1). The status to end with, or nothing to go on.
std::optional<int> PlayerRun::startSaves(CApplication& application) {
  using namespace tarnvik;
  GameSaves::Host host{[this] { return saves::HostClock{frames_, engineClock().now()}; },
                       [this](const saves::HostClock& at) {
                         frames_ = at.frame;
                         // A headless run's own time goes on from the saved time too, so its frames
                         // and sound line up with the run that saved.
                         if (hostClock_ == &virtualClock_) virtualClock_.set(at.clockMs);
                         gameClock_->set(at.clockMs);
                         audio_->restartAt(hostClock_->now());
                         lastFlush_ = at.clockMs;
                       }};
  saves_ = std::make_unique<PlayerSaves>(application, options_, gameFolder_, std::move(host));
  if (options_.listSaves) {
    saves_->list();
    return 0;
  }
  if (PlayerSaves::startsFromSave(options_) && !saves_->loadAtStart()) return 1;
  menu_->setSaves(&saves_->slots());
  return std::nullopt;
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
    if (writeScreen(*window_, menu_.get(), options_.screenshotFile, error)) {
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
    std::fputs(versionText().c_str(), stdout);
    return 0;
  }
  log::setLevel(options.logLevel);
#ifdef __EMSCRIPTEN__
  // The browser runs the frames after main has returned: the run lives on with the page.
  return endBeforeFrames((new PlayerRun(std::move(options)))->run());
#else
  PlayerRun run(std::move(options));
  int status = run.run();
  log::reportRepeats();
  return status;
#endif
}
