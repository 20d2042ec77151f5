// The input devices and their dispatch: mouse and key signals queued from the platform's events,
// handed out once per frame tick to hot spots first, then to mouse and key listeners.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "graphics/window.h"
#include "input/keys.h"
#include "platform/input.h"

class CXArchive;

// A mouse listener answers true when it consumed the event.
class CMouseListener {
 public:
  virtual ~CMouseListener() = default;
  virtual bool onMouseMove(const CXPoint&) { return false; }
  virtual bool onClick(const CXPoint&) { return false; }
  virtual bool onClick(int /*button*/, const CXPoint&) { return false; }
  virtual bool onRelease(int /*button*/, const CXPoint&) { return false; }
  virtual bool onRelease(const CXPoint&) { return false; }
  virtual bool onDblClick(const CXPoint&) { return false; }
};

class CKeyListener {
 public:
  virtual ~CKeyListener() = default;
  virtual void onKeyDown(int /*code*/) {}
  virtual void onKeyUp(int /*code*/) {}
  virtual void onChar(const std::string& /*character*/) {}
};

// A queued mouse signal. Moves are coalesced: at most one move waits in the queue.
struct MouseSignal {
  enum Type { kMove = 1, kLeftDown, kLeftUp, kMiddleDown, kMiddleUp, kRightDown, kRightUp, kDblClick };
  int type = kMove;
  CXPoint point;
};

struct KeySignal {
  enum Type { kDown, kUp, kChar };
  Type type = kDown;
  int code = 0;
  std::string text;
};

class CInputManager : public CFrameParticipant {
 public:
  // Registers with the window's input phase; the platform input may be null (no devices).
  CInputManager(CWindow* window, tarnvik::PlatformInput* platform);
  ~CInputManager() override;
  CInputManager(const CInputManager&) = delete;
  CInputManager& operator=(const CInputManager&) = delete;

  // The one current manager (null when none exists).
  static CInputManager* getCurrent();

  // Takes the platform's events (added to `extra`, which may hold scripted ones) into the device
  // queues. Returns the events taken, key repeats dropped while auto-repeat is off, for a recording;
  // `quit` is set when one of them asks to close the window. An event the host takes for itself
  // (`hostTakes` answers true, asked in order) is returned too but never queued for the game.
  std::vector<tarnvik::InputEvent> pump(std::vector<tarnvik::InputEvent> extra, bool& quit,
                                        const std::function<bool(const tarnvik::InputEvent&)>& hostTakes = {});
  // One event into the queues (positions are kept inside the screen).
  void feed(const tarnvik::InputEvent& event);

  // Frame tick: dispatches the queued signals (mouse first, then keys) and empties the queues.
  void frameTick() override;
  void onActivate(bool active) override;

  // Queues, for tests and for injected clicks.
  const std::vector<MouseSignal>& mouseQueue() const { return mouse_; }
  const std::vector<KeySignal>& keyQueue() const { return keys_; }
  void inject(int type, const CXPoint& point);

  // Listeners. Mouse listeners are asked from the most recently registered to the first.
  void registerMouseListener(CMouseListener* listener);
  void removeMouseListener(CMouseListener* listener);
  void addKeyListener(CKeyListener* listener);
  void removeKeyListener(CKeyListener* listener);
  // The window's mouse input: when off, mouse signals reach neither hot spots nor listeners.
  void setMouseInput(bool on) { mouseInput_ = on; }
  bool isMouseInput() const { return mouseInput_; }

  // Device state.
  CXPoint getPosition() const { return position_; }
  bool isButtonDown(int button) const { return button >= 0 && button < 3 && buttons_[button]; }
  bool isKeyDown(int code) const { return code >= 0 && code < tarnvik::keys::kCount && down_[code]; }
  bool isKeyDown(std::string_view name) const { return tarnvik::keys::isDown(name, down_); }
  bool anyKeyDown() const;
  void setAutoRepeat(bool on) { autoRepeat_ = on; }
  bool isAutoRepeat() const { return autoRepeat_; }

  // Cursor.
  void showCursor(bool visible);
  bool isCursorVisible() const { return cursorVisible_; }
  void beginWaitCursor();
  void beginActiveCursor();
  void endActiveCursor();
  void lockActiveCursor(bool lock);
  void setPosition(const CXPoint& point);
  // Confines the pointer to the rectangle; an empty one (or null) releases it. Kept across scenes.
  void setClipRect(const CXRect* rect);
  const CXRect& getClipRect() const { return clip_; }

  // Forgets hover, press and queued mouse signals (scene unloading, focus lost; losing the focus
  // also forgets which buttons and keys are down); restoring offers the pointer's place again as a move.
  void resetMouseState();
  void restoreMouseState();
  // Run-time state for saves of the running game: pointer, buttons and keys down, cursor, confinement
  // and the hot spots' priority window and dragged name.
  bool serializeState(CXArchive* archive);

 private:
  void dispatchMouse(const MouseSignal& signal);
  void dispatchKey(const KeySignal& signal);
  CXPoint clamp(int x, int y) const;

  CWindow* window_;
  tarnvik::PlatformInput* platform_;
  std::vector<MouseSignal> mouse_;
  std::vector<KeySignal> keys_;
  std::vector<CMouseListener*> mouseListeners_;
  std::vector<CKeyListener*> keyListeners_;
  CXPoint position_;
  bool buttons_[3] = {false, false, false};
  bool down_[tarnvik::keys::kCount] = {};
  bool mouseInput_ = true;
  bool autoRepeat_ = false;
  bool cursorVisible_ = true;
  bool activeCursor_ = false;
  bool activeLocked_ = false;
  CXRect clip_;
};
