// The picture a save carries: the composed screen at 160 x 120, as PNG.
#pragma once

#include <cstdint>
#include <vector>

class CWindow;

namespace tarnvik::saves {

inline constexpr int kThumbnailWidth = 160;
inline constexpr int kThumbnailHeight = 120;

// Each thumbnail pixel is the mean of the screen pixels its area covers; empty without a screen.
std::vector<uint8_t> thumbnailOf(CWindow* window);
std::vector<uint16_t> shrink565(const uint16_t* pixels, int pitch, int width, int height);

}  // namespace tarnvik::saves
