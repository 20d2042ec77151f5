// CDirectDrawSurface: an off-screen pixel surface that is also a drawable.
#pragma once

#include "graphics/pixels/graphics_object.h"

class CDirectDrawSurface : public CGraphicsObject {
 public:
  // A new surface of the size and depth (15, 16 or 32), zeroed. Surfaces live in memory, so the
  // lost-surface paths of a video-memory display never arise.
  CDirectDrawSurface(const CXSize& size, int bpp);

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
  // Its own copy (onto another surface) ignores clipping by the refresh manager's rules: it hides nothing.
  CXRect opaqueRect() override { return CXRect(); }

  // The drawable that is drawn into this surface again whenever its content must be rebuilt.
  void applyToRestore(CGraphicsObject* object) { applied_ = object; }
  CGraphicsObject* getApplied() const { return applied_; }

 private:
  CGraphicsObject* applied_ = nullptr;
};
