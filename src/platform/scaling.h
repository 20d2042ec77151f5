// How the game's screen fills a window or the full screen (`--scale`), and the pointer mapping that
// follows it exactly.
#pragma once

#include <string>

#include "platform/video.h"

namespace tarnvik {

// pixel: the largest whole multiple that fits, sharp, with black bars. fit: the largest size that
// keeps the aspect ratio (whole-multiple nearest-pixel enlargement, then a linear step to the final
// size). stretch: the whole output. automatic: fit in full screen and in windows more than twice the
// game's size in both directions, pixel otherwise.
enum class ScaleMode { automatic, pixel, fit, stretch };

bool parseScaleMode(const std::string& text, ScaleMode& out);
const char* scaleModeName(ScaleMode mode);

// Where the picture goes in an output of outW x outH pixels, and the whole multiple it is first
// enlarged by with nearest pixels (the rest, if any, is the linear step).
struct Placement {
  PixelRect picture;
  int prescale = 1;
};

// The mode in effect for an output (automatic resolved).
ScaleMode effectiveScale(ScaleMode mode, int gameW, int gameH, int outW, int outH, bool fullscreen);
// The placement for an effective mode (not automatic).
Placement placePicture(ScaleMode mode, int gameW, int gameH, int outW, int outH);
// The game pixel under the centre of an output pixel; off the screen on the black bars.
void outputToGame(const Placement& place, int gameW, int gameH, int ox, int oy, int& gx, int& gy);
// The output pixel under the centre of a game pixel.
void gameToOutput(const Placement& place, int gameW, int gameH, int gx, int gy, int& ox, int& oy);

}  // namespace tarnvik
