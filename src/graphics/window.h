// CWindow: the engine's central object for one running application and its frame tick.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "files/file.h"
#include "foundation/frame_participant.h"
#include "foundation/geometry.h"
#include "foundation/playable.h"
#include "foundation/xobject.h"
#include "foundation/xtimer.h"
#include "graphics/collision.h"

class CColor;
class CCommandLine6;
class CDirectDrawSurface;
class CGraphicsObject;
class CRefreshScreen;
class CSurface;
class CXString;
class CLanguageOSVer;
namespace tarnvik {
class VideoOutput;
}

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

  // Error codes shown by ShowError.
  static constexpr int kErrorGraphics = -998;
  static constexpr int kErrorSound = -997;

  // The display in full-screen mode (0 sizes: the window's size): display, back buffer and refresh
  // manager. Returns the error code (0 = success); on failure nothing is built.
  int SetDisplayMode(int width = 0, int height = 0, int bpp = 16);
  int SetDisplayMode(const CXSize& size, int bpp) { return SetDisplayMode(size.width, size.height, bpp); }
  // The same in a window.
  int CreateSurface();

  // One frame, only while active: redraw, timers, animations, sounds, collisions, input, listeners
  // (the engine's own services and the registered participants, by phase).
  void Tick();
  // Composes the dirty areas into the back buffer and shows them (also while inactive when forced).
  void Redraw(bool force);
  // A loaded game's picture, composed whole and shown, with no frame of the game's counted.
  void showRestored();
  void Invalidate();
  void Invalidate(const CXRect* area);
  void Invalidate(CGraphicsObject* object);
  void SetBackground(CGraphicsObject* object);
  void SetBackground(const CColor* color);
  bool SetBackground(const CXString& fileName);

  CSurface* GetSurface() const { return display_.get(); }
  CDirectDrawSurface* getBackBuffer() const { return backBuffer_.get(); }
  CRefreshScreen* getRefreshScreen() const { return refresh_.get(); }
  CAnimationManager* getAnimationManager() { return &animations_; }
  CCollisionInspector* getCollisionInspector() { return &collisions_; }
  int GetBpp() const;
  // The composed screen (the back buffer): pixels, pitch in pixels, size. Null before a display exists.
  const uint16_t* GetScreenPtr() const;
  int GetScreenPitch() const;
  CXSize GetScreenSize() const;
  // Shows the frame counter ("FPS: N" at 10, 10) in every frame.
  void setShowFPS(bool on) { showFPS_ = on; }
  bool isShowFPS() const { return showFPS_; }
  // When an error code is set: logs the message for it and shows it in a message box in a window.
  void ShowError(const CXString& caption);
  // The message ShowError gives for an error code (UTF-8).
  static const char* errorText(int code);
  // Runs Tick; true when the loop should end (quit requested).
  bool domodal();
  void quit() { quit_ = true; }
  bool isQuit() const { return quit_; }

  bool isActive() const { return active_; }
  void Activate(bool active) { active_ = active; }
  // On a change only: deactivation pauses composing and tells the canvas observers focus off;
  // activation resumes, recomposes the whole screen and tells them focus on.
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
  void drawFPS();

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
  std::unique_ptr<CSurface> display_;
  std::unique_ptr<CDirectDrawSurface> backBuffer_;
  std::unique_ptr<CRefreshScreen> refresh_;
  CAnimationManager animations_;
  CCollisionInspector collisions_;
  bool showFPS_ = false;
  int fpsShown_ = 0, fpsCount_ = 0;
  uint32_t fpsSince_ = 0;
};
