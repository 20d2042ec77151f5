// A game played headless inside a benchmark, as the player does it: virtual clock, in-memory screen,
// the engine's command line and settings file, one frame tick and one structure tick per frame.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "application/application.h"
#include "files/path.h"
#include "graphics/window.h"
#include "objects/register.h"
#include "platform/clock.h"
#include "platform/video.h"
#include "settings/commandline.h"
#include "settings/language.h"
#include "sound/mixer.h"
#include "sound/sound_system.h"

namespace benchgame {

inline double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

inline double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The generated demo beside the benchmark programs (build/bench -> build/games/demo).
inline std::filesystem::path demoFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return exe.parent_path().parent_path() / "games" / "demo";
}

// A copy of the demo that starts in the given scene of the story.
inline std::filesystem::path copyStartingIn(const std::filesystem::path& demo, const std::string& scene,
                                            const std::filesystem::path& where) {
  std::filesystem::remove_all(where);
  std::filesystem::copy(demo, where, std::filesystem::copy_options::recursive);
  std::ifstream in(where / "Dane/application.def", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string def = std::regex_replace(text.str(), std::regex("GAME:STARTWITH=MENU"), "GAME:STARTWITH=STORY");
  def = std::regex_replace(def, std::regex("STORY:STARTWITH=MEADOW"), "STORY:STARTWITH=" + scene);
  std::ofstream(where / "Dane/application.def", std::ios::binary) << def;
  return where;
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The demo started in its busiest scene, the valley, copied into `work` (made here); empty, with a
// message naming the program, when there is no generated demo.
inline std::filesystem::path valleyCopy(const char* program, const std::filesystem::path& work) {
  const std::filesystem::path demo = demoFolder();
  if (!std::filesystem::is_directory(demo / "Dane")) {
    std::fprintf(stderr, "%s: no generated demo in %s (build the demo-game target)\n", program, demo.c_str());
    return {};
  }
  std::filesystem::create_directories(work);
  return copyStartingIn(demo, "VALLEY", work / "game");
}

// One run of a game folder. The members are built in the order the player builds them.
class HeadlessGame {
 public:
  // `extraWords` are further engine options, one word each.
  HeadlessGame(const std::filesystem::path& game, const std::filesystem::path& settings,
               const std::vector<std::string>& extraWords = {})
      : commandLine_(commandLineFor(game, extraWords)) {
    tarnvik::setEngineClock(&clock_);
    video_.open(800, 600, false);
    CPath::setStartDirectory(CXString(std::filesystem::current_path().string()));
    window_ = std::make_unique<CWindow>(&commandLine_, &language_, &video_, 800, 600);
    window_->SetDisplayMode(800, 600, 16);
    tarnvik::registerEngineTypes();
    sound_ = std::make_unique<CSoundSystem>(window_.get(), &mixer_);
    application_ = std::make_unique<CApplication>(window_.get(), settings.string(), "", &commandLine_);
  }
  ~HeadlessGame() {
    finish();
    application_.reset();
    sound_.reset();
    window_.reset();
    tarnvik::setEngineClock(nullptr);
  }
  HeadlessGame(const HeadlessGame&) = delete;
  HeadlessGame& operator=(const HeadlessGame&) = delete;

  // Reads the application and enters its first scene; false (with the reason on stderr) when nothing runs.
  bool start() {
    started_ = application_->preinitializeApplication();
    if (!started_) std::fprintf(stderr, "%s\n", application_->getStartError().c_str());
    return started_;
  }
  // Ends the game as the player does at the end of a run (the scenes unload).
  void finish() {
    if (started_) application_->OnExit();
    started_ = false;
  }
  // One frame of 16 or 17 virtual milliseconds (60 frames a second on whole milliseconds); the sound
  // of the frame is mixed first, as the audio device would pull it.
  void frame() {
    clock_.advance(++frames_ % 3 == 0 ? 17 : 16);
    pullSound();
    window_->Tick();
    application_->domodal();
  }
  tarnvik::VirtualClock& clock() { return clock_; }
  // Puts the clock at a loaded save's time; the sound is mixed on from there.
  void setClock(uint32_t ms) {
    clock_.set(ms);
    pulled_ = static_cast<uint64_t>(ms) * tarnvik::kAudioRate / 1000;
  }
  CWindow& window() { return *window_; }
  CApplication& application() { return *application_; }
  CCommandLine6& commandLine() { return commandLine_; }

 private:
  void pullSound() {
    uint64_t target = static_cast<uint64_t>(clock_.now()) * tarnvik::kAudioRate / 1000;
    if (target <= pulled_) return;
    mixed_.resize(static_cast<size_t>(target - pulled_) * tarnvik::kAudioChannels);
    mixer_.render(mixed_.data(), static_cast<int>(target - pulled_));
    pulled_ = target;
  }
  static std::vector<std::string> commandLineFor(const std::filesystem::path& game,
                                                 const std::vector<std::string>& extraWords) {
    std::vector<std::string> words{"-path", game.string()};
    words.insert(words.end(), extraWords.begin(), extraWords.end());
    return words;
  }

  tarnvik::VirtualClock clock_;
  tarnvik::HeadlessVideo video_;
  CCommandLine6 commandLine_;
  CLanguageOSVer language_;
  std::unique_ptr<CWindow> window_;
  CSoundMixer mixer_;
  std::unique_ptr<CSoundSystem> sound_;
  std::unique_ptr<CApplication> application_;
  std::vector<int16_t> mixed_;
  uint64_t pulled_ = 0;
  bool started_ = false;
  int frames_ = 0;
};

}  // namespace benchgame
