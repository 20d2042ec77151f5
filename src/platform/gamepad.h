// A gamepad as a pointer: the left stick and the d-pad move it in logical pixels, faster the longer
// they are held.
#pragma once

namespace tarnvik {

class GamepadPointer {
 public:
  // Stick deflections inside this are taken as rest (sticks seldom centre exactly).
  static constexpr int kDeadZone = 8000;
  // Pixels per frame at full deflection: from the first frame held, growing to the top speed.
  static constexpr double kStartSpeed = 3.0, kTopSpeed = 15.0;
  static constexpr int kRampFrames = 45;

  // One frame: the left stick (-32768..32767 each way) and the d-pad (-1, 0 or 1 each way); the
  // pointer's move in logical pixels.
  void step(int stickX, int stickY, int padX, int padY, double& dx, double& dy);
  void reset() { heldFrames_ = 0; }

 private:
  int heldFrames_ = 0;
};

}  // namespace tarnvik
