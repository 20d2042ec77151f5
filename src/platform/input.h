// The platform input interface: mouse and keyboard events in logical screen coordinates and engine
// key codes, and the cursor operations the engine asks of the window system.
#pragma once

#include <string>
#include <vector>

#include "platform/video.h"

namespace tarnvik {

// One event from a person (or from a script of input). Positions are in logical screen pixels;
// keys are engine key codes (the classic PC keyboard scan codes, extended keys with bit 7 set).
struct InputEvent {
  // kPadStick, kPadDown, kPadUp: a script driving a gamepad (x, y: the left stick's deflection from
  // -32768 to 32767; button: a PadButton); the window turns the pad into pointer moves and clicks.
  // kFocusIn and kFocusOut: the window gained or lost the focus (a script's "focus in|out").
  // kMenu: the gamepad's Start (a script's "menu"), which opens or closes the player's menu.
  enum Kind { kMove, kDown, kUp, kDblClick, kKeyDown, kKeyUp, kChar, kQuit, kPadStick, kPadDown, kPadUp, kFocusIn, kFocusOut, kMenu };
  enum Button { kLeft = 0, kMiddle = 1, kRight = 2 };
  enum PadButton { kPadA, kPadB, kPadBack, kPadStart, kPadDirUp, kPadDirDown, kPadDirLeft, kPadDirRight };
  Kind kind = kMove;
  int x = 0, y = 0;
  int button = kLeft;
  int key = 0;
  bool repeat = false;  // a key-down the keyboard repeated while the key was held
  std::string text;     // kChar: one character, UTF-8
};

class PlatformInput {
 public:
  enum class Cursor { kArrow, kWait, kActive };
  virtual ~PlatformInput() = default;
  // Moves the events gathered since the last call to the end of `out`, in order.
  virtual void takeEvents(std::vector<InputEvent>& out) = 0;
  virtual void showCursor(bool /*visible*/) {}
  virtual void setCursor(Cursor /*shape*/) {}
  // Moves the pointer to a logical screen point.
  virtual void warp(int /*x*/, int /*y*/) {}
  // Keeps the pointer inside a logical screen rectangle; null lets it go.
  virtual void confine(const PixelRect* /*area*/) {}
};

}  // namespace tarnvik
