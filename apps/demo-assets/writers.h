// Writes the demo's art and sound in the engine's own formats: IMG images and ANN animations through
// the graphics library, WAV files through libsndfile. Each returns false with a message on failure.
#pragma once

#include <string>
#include <vector>

#include "raster.h"

namespace demo {

// An IMG file at the given screen position (LZO-packed; alpha kept when the raster has any).
bool writeImage(const std::string& file, const Raster& picture, int x, int y, std::string& error);

// One event of an animation: its name, frame rate, the frames it shows in order, and whether it
// loops endlessly.
struct AnimEvent {
  std::string name;
  int fps = 10;
  std::vector<int> frames;
  bool loop = false;
};

// An ANN file: every frame with alpha, every entry at the given offset (0, 0 unless given: scripts
// place the animation). An animation that a sequence plays needs its place in the file, as the
// sequence shows its own copy of it.
bool writeAnimation(const std::string& file, const std::vector<Raster>& frames, const std::vector<AnimEvent>& events,
                    std::string& error, int x = 0, int y = 0);

// A mono 16-bit 22050 Hz WAV file of samples in -1..1.
constexpr int kSampleRate = 22050;
bool writeWav(const std::string& file, const std::vector<float>& samples, std::string& error);

}  // namespace demo
