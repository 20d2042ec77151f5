// CSurface: the display, which hands the back buffer's changed rectangles to the video output.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/xobject.h"

class CDirectDrawSurface;
namespace tarnvik {
class VideoOutput;
}  // namespace tarnvik

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
