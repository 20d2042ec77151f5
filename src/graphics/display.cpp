// The display: presents the back buffer's changed rectangles through the video output.
#include "graphics/display.h"

#include <memory>
#include <utility>

#include "graphics/pixels/canvas.h"
#include "graphics/pixels/surface.h"
#include "platform/video.h"

CSurface::CSurface(tarnvik::VideoOutput* video, const CXSize& size, int bpp, bool windowed)
    : video_(video), size_(size), bpp_(bpp), windowed_(windowed) {
  prepareBppConversionTable(bpp);
}

void CSurface::Blt(CDirectDrawSurface* surface, int x, int y, const CXRect* rect) {
  if (!surface || !rect || rect->isEmpty()) return;
  pending_ = surface;
  CXRect at(x, y, x + rect->width(), y + rect->height());
  at = at.intersection(CXRect(0, 0, surface->Width(), surface->Height()));
  if (!at.isEmpty()) queued_.push_back(at);
}

void CSurface::Flip(CDirectDrawSurface* backBuffer) {
  if (!backBuffer) return;
  pending_ = backBuffer;
  queued_.assign(1, CXRect(0, 0, backBuffer->Width(), backBuffer->Height()));
  Present();
}

void CSurface::Present() {
  if (!pending_ || queued_.empty()) return;
  CDirectDrawSurface* source = pending_;
  std::vector<tarnvik::PixelRect> dirty;
  dirty.reserve(queued_.size());
  for (const CXRect& r : queued_) dirty.push_back(tarnvik::PixelRect{r.left, r.top, r.width(), r.height()});
  queued_.clear();
  pending_ = nullptr;
  ++presented_;
  if (!video_) return;
  const uint16_t* pixels = source->pixels16();
  int pitch = source->GetPitch();
  if (source->GetRealBpp() == 15) {
    // The output takes 5-6-5: convert the changed rectangles of a 5-5-5 back buffer.
    size_t count = static_cast<size_t>(source->GetPitch()) * source->Height();
    if (scratch_.size() != count) scratch_.assign(count, 0);
    for (const auto& r : dirty)
      for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) {
          uint16_t p = pixels[static_cast<size_t>(y) * pitch + x];
          scratch_[static_cast<size_t>(y) * pitch + x] =
              static_cast<uint16_t>(((p & 0x7FE0) << 1) | ((p >> 4) & 0x20) | (p & 0x1F));
        }
    pixels = scratch_.data();
  }
  if (!pixels) return;
  video_->present(pixels, pitch, source->Width(), source->Height(), dirty);
}

namespace {
std::unique_ptr<uint32_t[]>& conversionTable() {
  static std::unique_ptr<uint32_t[]> table;
  return table;
}
}  // namespace

const uint32_t* CSurface::getBppConversionTable() { return conversionTable().get(); }

void CSurface::prepareBppConversionTable(int bpp) {
  if ((bpp != 24 && bpp != 32) || conversionTable()) return;
  auto table = std::make_unique<uint32_t[]>(65536);
  for (uint32_t p = 0; p < 65536; ++p) table[p] = tarnvik::canvas::to32(static_cast<uint16_t>(p), 16);
  conversionTable() = std::move(table);
}
