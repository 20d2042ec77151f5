// Headless video output.
#include "platform/video.h"

#include <cstddef>

namespace tarnvik {

bool HeadlessVideo::open(int width, int height, bool) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
  width_ = width;
  height_ = height;
  frame_.assign(static_cast<size_t>(width) * height, 0);
  return true;
}

void HeadlessVideo::present(const uint16_t* pixels, int width, int height) {
  if (!pixels || width != width_ || height != height_) return;
  frame_.assign(pixels, pixels + static_cast<size_t>(width) * height);
  ++presented_;
}

}  // namespace tarnvik
