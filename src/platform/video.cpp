// Headless video output.
#include "platform/video.h"

#include <algorithm>
#include <cstddef>

namespace tarnvik {

bool HeadlessVideo::open(int width, int height, bool) {
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
  width_ = width;
  height_ = height;
  frame_.assign(static_cast<size_t>(width) * height, 0);
  return true;
}

void HeadlessVideo::present(const uint16_t* pixels, int pitch, int width, int height,
                            const std::vector<PixelRect>& dirty) {
  if (!pixels || width != width_ || height != height_ || pitch < width) return;
  auto copyRect = [&](int x, int y, int w, int h) {
    x = std::clamp(x, 0, width);
    y = std::clamp(y, 0, height);
    w = std::clamp(w, 0, width - x);
    h = std::clamp(h, 0, height - y);
    for (int row = y; row < y + h; ++row)
      std::copy_n(pixels + static_cast<size_t>(row) * pitch + x, w, frame_.begin() + static_cast<ptrdiff_t>(row) * width + x);
  };
  if (dirty.empty()) copyRect(0, 0, width, height);
  for (const PixelRect& r : dirty) copyRect(r.x, r.y, r.w, r.h);
  ++presented_;
}

}  // namespace tarnvik
