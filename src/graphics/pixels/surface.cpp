// Off-screen surfaces and the display.
#include "graphics/pixels/surface.h"

#include <algorithm>
#include <memory>

#include "graphics/pixels/canvas.h"
#include "platform/video.h"

CDirectDrawSurface::CDirectDrawSurface(CWindow* window, const CXSize& size, int bpp, bool)
    : CGraphicsObject(size.width, size.height, bpp == 15 || bpp == 32 ? bpp : 16), window_(window) {}

bool CDirectDrawSurface::Blt(CDirectDrawSurface* source, int x, int y, const CXRect* sourceRect) {
  if (!source || !source->GetDataPtr() || !GetDataPtr() || source->GetRealBpp() != GetRealBpp()) return false;
  CXRect rect = sourceRect ? *sourceRect : CXRect(0, 0, source->Width(), source->Height());
  if (sourceRect && (source->Width() < rect.width() || source->Height() < rect.height())) {
    // A source smaller than the rectangle is copied whole, centred in it.
    // Halved by an arithmetic shift, so an odd negative difference rounds down.
    x = tarnvik::geometry::clamp32(static_cast<int64_t>(x) + ((static_cast<int64_t>(rect.width()) - source->Width()) >> 1));
    y = tarnvik::geometry::clamp32(static_cast<int64_t>(y) + ((static_cast<int64_t>(rect.height()) - source->Height()) >> 1));
    rect = CXRect(0, 0, source->Width(), source->Height());
  }
  _canvas src;
  src.pixels = source->GetDataPtr();
  src.bpp = source->GetRealBpp();
  src.width = source->GetPitch();
  src.height = source->Height();
  src.x = static_cast<int>(static_cast<int64_t>(x) - rect.left);
  src.y = static_cast<int>(static_cast<int64_t>(y) - rect.top);
  src.clip = rect.intersection(CXRect(0, 0, source->Width(), source->Height()));
  if (src.clip.isEmpty()) return true;
  _canvas dst;
  dst.pixels = GetDataPtr();
  dst.bpp = GetRealBpp();
  dst.width = GetPitch();
  dst.height = Height();
  if (GetRealBpp() == 32) {
    // Plain 32-bit copy of the rows.
    int64_t dx = x, dy = y;
    CXRect c = src.clip;
    for (int row = c.top; row < c.bottom; ++row) {
      int64_t ty = dy + (row - c.top);
      if (ty < 0 || ty >= Height()) continue;
      for (int col = c.left; col < c.right; ++col) {
        int64_t tx = dx + (col - c.left);
        if (tx < 0 || tx >= Width()) continue;
        static_cast<uint32_t*>(dst.pixels)[ty * dst.width + tx] =
            static_cast<const uint32_t*>(src.pixels)[static_cast<size_t>(row) * src.width + col];
      }
    }
    return true;
  }
  return tarnvik::canvas::copyPlain(src, dst);
}

bool CDirectDrawSurface::Blt(CDirectDrawSurface* source, const CXRect* destinationRect, const CXRect* sourceRect) {
  if (!source || !source->GetDataPtr() || !GetDataPtr() || source->GetRealBpp() != GetRealBpp() ||
      GetRealBpp() == 32)
    return false;
  CXRect from = sourceRect ? sourceRect->intersection(CXRect(0, 0, source->Width(), source->Height()))
                           : CXRect(0, 0, source->Width(), source->Height());
  CXRect to = destinationRect ? *destinationRect : CXRect(0, 0, Width(), Height());
  if (from.isEmpty() || to.isEmpty()) return true;
  CXRect visible = to.intersection(CXRect(0, 0, Width(), Height()));
  const auto* sp = static_cast<const uint16_t*>(source->GetDataPtr());
  auto* dp = static_cast<uint16_t*>(GetDataPtr());
  for (int y = visible.top; y < visible.bottom; ++y) {
    int sy = from.top + static_cast<int>(static_cast<int64_t>(y - to.top) * from.height() / to.height());
    for (int x = visible.left; x < visible.right; ++x) {
      int sx = from.left + static_cast<int>(static_cast<int64_t>(x - to.left) * from.width() / to.width());
      dp[static_cast<size_t>(y) * GetPitch() + x] = sp[static_cast<size_t>(sy) * source->GetPitch() + sx];
    }
  }
  return true;
}

void CDirectDrawSurface::Redraw() {
  auto* destination = dynamic_cast<CDirectDrawSurface*>(GetDestiny());
  if (!destination) {
    CGraphicsObject::Redraw();
    return;
  }
  int x = GetPosition().x, y = GetPosition().y;
  int dw = destination->Width(), dh = destination->Height();
  if (x <= -dw || x >= dw || y <= -dh || y >= dh) return;
  int left = x < 1 ? -x : 0, top = y < 1 ? -y : 0;
  int width = static_cast<int64_t>(x) + Width() >= dw ? dw - x : Width();
  int height = static_cast<int64_t>(y) + Height() >= dh ? dh - y : Height();
  CXRect rect(left, top, width, height);
  destination->Blt(this, x + left, y + top, &rect);
}

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
