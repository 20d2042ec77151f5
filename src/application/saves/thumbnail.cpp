// The save's picture: the screen averaged down to 160 x 120 and encoded as PNG.
#include "application/saves/thumbnail.h"

#include <algorithm>
#include <string>

#include "foundation/log.h"
#include "graphics/formats/png.h"
#include "graphics/window.h"

namespace tarnvik::saves {

std::vector<uint16_t> shrink565(const uint16_t* pixels, int pitch, int width, int height) {
  std::vector<uint16_t> out(static_cast<size_t>(kThumbnailWidth) * kThumbnailHeight, 0);
  if (!pixels || width < 1 || height < 1) return out;
  for (int ty = 0; ty < kThumbnailHeight; ++ty) {
    int y0 = ty * height / kThumbnailHeight, y1 = std::max(y0 + 1, (ty + 1) * height / kThumbnailHeight);
    for (int tx = 0; tx < kThumbnailWidth; ++tx) {
      int x0 = tx * width / kThumbnailWidth, x1 = std::max(x0 + 1, (tx + 1) * width / kThumbnailWidth);
      uint32_t r = 0, g = 0, b = 0, n = 0;
      for (int y = y0; y < y1 && y < height; ++y)
        for (int x = x0; x < x1 && x < width; ++x) {
          uint16_t p = pixels[static_cast<size_t>(y) * pitch + x];
          r += p >> 11;
          g += (p >> 5) & 63;
          b += p & 31;
          ++n;
        }
      if (n) out[static_cast<size_t>(ty) * kThumbnailWidth + tx] = static_cast<uint16_t>((r / n) << 11 | (g / n) << 5 | (b / n));
    }
  }
  return out;
}

std::vector<uint8_t> thumbnailOf(CWindow* window) {
  std::vector<uint8_t> png;
  if (!window || !window->GetScreenPtr()) return png;
  CXSize size = window->GetScreenSize();
  std::vector<uint16_t> small = shrink565(window->GetScreenPtr(), window->GetScreenPitch(), size.width, size.height);
  std::string error;
  if (!png::encode565(small.data(), kThumbnailWidth, kThumbnailWidth, kThumbnailHeight, png, error))
    TLOG_WARN("save: no thumbnail (" << error << ")");
  return png;
}

}  // namespace tarnvik::saves
