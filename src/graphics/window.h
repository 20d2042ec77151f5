// CWindow: the engine's central object for one running application and its frame tick.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "files/file.h"
#include "foundation/xobject.h"
#include "foundation/xtimer.h"

class CCommandLine6;
class CLanguageOSVer;
namespace tarnvik {
class VideoOutput;
}

// A subsystem that takes part in every frame tick (animation manager, sound manager, collisions,
// input dispatch). Phases run in this order within a tick.
class CFrameParticipant {
 public:
  enum Phase { kAnimation = 0, kSound = 1, kCollision = 2, kInput = 3, kListeners = 4 };
  virtual ~CFrameParticipant() = default;
  virtual void frameTick() = 0;
};

// The window is also the file context: file access takes the language folder from it.
class CWindow : public CXObject, public CFileContext {
 public:
  // The video output may be null (no display at all). The window does not own what it is given.
  CWindow(CCommandLine6* commandLine, CLanguageOSVer* language, tarnvik::VideoOutput* video, int width = 800,
          int height = 600);
  ~CWindow() override;
  CWindow(const CWindow&) = delete;
  CWindow& operator=(const CWindow&) = delete;

  // The one current window that other parts of the engine read.
  static CWindow* getCurrent();

  // One frame: only while active. Timers, then the participants by phase.
  void Tick();
  // Runs Tick; true when the loop should end (quit requested).
  bool domodal();
  void quit() { quit_ = true; }
  bool isQuit() const { return quit_; }

  bool isActive() const { return active_; }
  void Activate(bool active) { active_ = active; }
  void OnActivateApp(bool active);

  // Scene PAUSE / RESUME of the whole window.
  void pause() { paused_ = true; }
  void resume() { paused_ = false; }
  bool isPaused() const { return paused_; }

  void minimize();

  CXTimer* getTimer() { return &timer_; }
  CCommandLine6* getCommandLine() const { return commandLine_; }
  CLanguageOSVer* getLanguage() const { return language_; }
  tarnvik::VideoOutput* getVideo() const { return video_; }
  int getWidth() const { return width_; }
  int getHeight() const { return height_; }

  void addParticipant(CFrameParticipant::Phase phase, CFrameParticipant* participant);
  void removeParticipant(CFrameParticipant* participant);

  // Data root (full path of the game folder) and the sound-effects folder under it.
  void setDataRoot(const std::string& root) { dataRoot_ = root; }
  const std::string& getDataRoot() const { return dataRoot_; }
  void setWavPath(const std::string& path) { wavPath_ = path; }
  const std::string& getWavPath() const { return wavPath_; }

  int getFrameCount() const { return frames_; }

 private:
  CCommandLine6* commandLine_;
  CLanguageOSVer* language_;
  tarnvik::VideoOutput* video_;
  int width_, height_;
  bool active_ = true;
  bool quit_ = false;
  bool paused_ = false;
  int frames_ = 0;
  CXTimer timer_;
  std::vector<std::pair<CFrameParticipant::Phase, CFrameParticipant*>> participants_;
  std::string dataRoot_, wavPath_;
};
