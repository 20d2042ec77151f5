// The gamepad pointer's movement: dead zone, a squared response for fine control near the centre,
// and a speed that grows while the direction is held.
#include "platform/gamepad.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tarnvik {
namespace {

// A stick axis outside the dead zone as -1..1, squared (keeping the sign).
double response(int value) {
  int magnitude = std::abs(value);
  if (magnitude <= GamepadPointer::kDeadZone) return 0.0;
  double t = std::min(1.0, static_cast<double>(magnitude - GamepadPointer::kDeadZone) /
                               (32767.0 - GamepadPointer::kDeadZone));
  return value < 0 ? -t * t : t * t;
}

}  // namespace

void GamepadPointer::step(int stickX, int stickY, int padX, int padY, double& dx, double& dy) {
  double vx = std::clamp(response(stickX) + padX, -1.0, 1.0);
  double vy = std::clamp(response(stickY) + padY, -1.0, 1.0);
  if (vx == 0.0 && vy == 0.0) {
    heldFrames_ = 0;
    dx = dy = 0.0;
    return;
  }
  heldFrames_ = std::min(heldFrames_ + 1, kRampFrames);
  double speed = kStartSpeed + (kTopSpeed - kStartSpeed) * (heldFrames_ - 1) / (kRampFrames - 1);
  dx = vx * speed;
  dy = vy * speed;
}

}  // namespace tarnvik
