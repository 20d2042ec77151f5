// Input events for tests: pointer and key events as the platform hands them to the input layer.
#pragma once

#include "platform/input.h"

namespace tarnvik::test {

inline InputEvent pointerEvent(InputEvent::Kind kind, int x = 0, int y = 0, int button = InputEvent::kLeft) {
  InputEvent e;
  e.kind = kind;
  e.x = x;
  e.y = y;
  e.button = button;
  return e;
}

inline InputEvent keyEvent(InputEvent::Kind kind, int code, bool repeat = false) {
  InputEvent e;
  e.kind = kind;
  e.key = code;
  e.repeat = repeat;
  return e;
}

}  // namespace tarnvik::test
