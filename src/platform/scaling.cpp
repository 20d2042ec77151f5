// Placement of the game's picture in an output and the pointer mapping of each scale mode.
#include "platform/scaling.h"

#include <algorithm>
#include <cstdint>

namespace tarnvik {
namespace {

// Floor division that rounds towards minus infinity (points on the left or top bar stay off the screen).
int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The game coordinate under the centre of output pixel `o` along one axis: picture at `start`, `size`
// output pixels for `game` game pixels.
int toGame(int o, int start, int size, int game) {
  return static_cast<int>(floorDiv((2 * int64_t{o - start} + 1) * game, 2 * int64_t{size}));
}

}  // namespace

bool parseScaleMode(const std::string& text, ScaleMode& out) {
  if (text == "pixel") out = ScaleMode::pixel;
  else if (text == "fit") out = ScaleMode::fit;
  else if (text == "stretch") out = ScaleMode::stretch;
  else return false;
  return true;
}

const char* scaleModeName(ScaleMode mode) {
  switch (mode) {
    case ScaleMode::pixel: return "pixel";
    case ScaleMode::fit: return "fit";
    case ScaleMode::stretch: return "stretch";
    case ScaleMode::automatic: break;
  }
  return "automatic";
}

ScaleMode effectiveScale(ScaleMode mode, int gameW, int gameH, int outW, int outH, bool fullscreen) {
  if (mode != ScaleMode::automatic) return mode;
  return fullscreen || (outW > 2 * gameW && outH > 2 * gameH) ? ScaleMode::fit : ScaleMode::pixel;
}

Placement placePicture(ScaleMode mode, int gameW, int gameH, int outW, int outH) {
  Placement p;
  if (gameW <= 0 || gameH <= 0 || outW <= 0 || outH <= 0) return p;
  int whole = std::max(1, std::min(outW / gameW, outH / gameH));
  int w = outW, h = outH;
  if (mode == ScaleMode::pixel) {
    w = gameW * whole;
    h = gameH * whole;
  } else if (mode == ScaleMode::fit) {
    // The limiting direction fills the output; the other keeps the game's aspect ratio, rounded.
    if (int64_t{outW} * gameH <= int64_t{outH} * gameW)
      h = static_cast<int>((int64_t{gameH} * outW * 2 + gameW) / (2 * int64_t{gameW}));
    else
      w = static_cast<int>((int64_t{gameW} * outH * 2 + gameH) / (2 * int64_t{gameH}));
  }
  p.picture = {(outW - w) / 2, (outH - h) / 2, w, h};
  p.prescale = std::max(1, std::min(w / gameW, h / gameH));
  return p;
}

void outputToGame(const Placement& place, int gameW, int gameH, int ox, int oy, int& gx, int& gy) {
  if (place.picture.w <= 0 || place.picture.h <= 0) {
    gx = ox;
    gy = oy;
    return;
  }
  gx = toGame(ox, place.picture.x, place.picture.w, gameW);
  gy = toGame(oy, place.picture.y, place.picture.h, gameH);
}

void gameToOutput(const Placement& place, int gameW, int gameH, int gx, int gy, int& ox, int& oy) {
  if (gameW <= 0 || gameH <= 0) {
    ox = gx;
    oy = gy;
    return;
  }
  ox = place.picture.x + static_cast<int>(floorDiv((2 * int64_t{gx} + 1) * place.picture.w, 2 * int64_t{gameW}));
  oy = place.picture.y + static_cast<int>(floorDiv((2 * int64_t{gy} + 1) * place.picture.h, 2 * int64_t{gameH}));
}

}  // namespace tarnvik
