// CDirectDrawSurface: an off-screen pixel surface that is also a drawable. CSurface: the display,
// which hands the back buffer's changed rectangles to the video output.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/pixels/graphics_object.h"

class CColor;
class CWindow;
namespace tarnvik {
class VideoOutput;
struct PixelRect;
}  // namespace tarnvik

class CDirectDrawSurface : public CGraphicsObject {
 public:
  // A new surface of the size and depth (15, 16 or 32), zeroed. Surfaces live in memory, so the
  // lost-surface paths of a video-memory display never arise.
  CDirectDrawSurface(CWindow* window, const CXSize& size, int bpp, bool videoMemory = false);

  // Copies a rectangle of the source to (x, y). A source smaller than the rectangle in either
  // direction is copied whole, centred in the rectangle. Without a rectangle the whole source.
  bool Blt(CDirectDrawSurface* source, int x, int y, const CXRect* sourceRect);
  bool Blt(CDirectDrawSurface* source, const CXPoint& at, const CXRect* sourceRect) {
    return Blt(source, at.x, at.y, sourceRect);
  }
  // Stretching copy of a source rectangle onto a destination rectangle (nearest pixel).
  bool Blt(CDirectDrawSurface* source, const CXRect* destinationRect, const CXRect* sourceRect);
  // The surface drawn as an object onto its destination: the visible part, plainly copied.
  void Redraw() override;

  // The drawable that is drawn into this surface again whenever its content must be rebuilt.
  void applyToRestore(CGraphicsObject* object) { applied_ = object; }
  CGraphicsObject* getApplied() const { return applied_; }
  CWindow* getWindow() const { return window_; }

 private:
  CWindow* window_;
  CGraphicsObject* applied_ = nullptr;
};

class CSurface : public CXObject {
 public:
  // The display over a video output (may be null: nothing is shown). Depth 15 or 16 is the back
  // buffer's layout; 24 and 32 are accepted for the conversion table, with a 16-bit back buffer.
  CSurface(tarnvik::VideoOutput* video, const CXSize& size, int bpp, bool windowed);

  int GetBpp() const { return bpp_; }
  CXSize GetSize() const { return size_; }
  bool isWindowed() const { return windowed_; }
  // A flip chain is never used: the changed rectangles are always copied.
  bool IsFlippingEnabled() const { return false; }

  // Queues a rectangle of the back buffer for showing at (x, y); Present hands the queue over.
  void Blt(CDirectDrawSurface* surface, int x, int y, const CXRect* rect);
  // Shows the whole back buffer.
  void Flip(CDirectDrawSurface* backBuffer);
  // Hands the queued rectangles to the video output.
  void Present();
  int presentedFrames() const { return presented_; }

  // The 65536-entry table from 5-6-5 to 0x00RRGGBB, built for 24 and 32-bit displays.
  static const uint32_t* getBppConversionTable();
  static void prepareBppConversionTable(int bpp);

 private:
  tarnvik::VideoOutput* video_;
  CXSize size_;
  int bpp_;
  bool windowed_;
  CDirectDrawSurface* pending_ = nullptr;
  std::vector<CXRect> queued_;
  std::vector<uint16_t> scratch_;  // 5-5-5 frames converted for the 5-6-5 output
  int presented_ = 0;
};
