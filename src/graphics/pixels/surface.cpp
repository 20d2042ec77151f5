// Off-screen surfaces.
#include "graphics/pixels/surface.h"

#include "graphics/pixels/canvas.h"

CDirectDrawSurface::CDirectDrawSurface(const CXSize& size, int bpp)
    : CGraphicsObject(size.width, size.height, bpp == 15 || bpp == 32 ? bpp : 16) {}

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
