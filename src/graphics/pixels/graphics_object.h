// CGraphicsObject: a drawable rectangle of 16-bit pixels with an optional alpha plane, a position
// and anchor, opacity, clipping, flips, children, and the invalidation that drives screen refresh.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/xobject.h"
#include "foundation/xstring.h"
#include "graphics/pixels/drawable_watcher.h"
#include "graphics/pixels/pixel_bytes.h"

class CColor;
class CGraphicsObject;

// Told whenever a drawable invalidates an area (its bounding box).
class CInvalidateObserver {
 public:
  virtual ~CInvalidateObserver() = default;
  virtual void onInvalidate(CGraphicsObject* /*object*/, const CXRect& /*area*/) {}
};

class CGraphicsObject : public CXObject, public CInvalidateObserver {
 public:
  // Largest width or height a drawable may have; larger requests are refused.
  static constexpr int kMaxSide = 32768;

  CGraphicsObject() = default;
  // A drawable with its own zeroed pixels (and alpha plane when asked); empty when the size is refused.
  CGraphicsObject(int width, int height, int bpp = 16, bool withAlpha = false);
  ~CGraphicsObject() override;
  CGraphicsObject(const CGraphicsObject&) = delete;
  CGraphicsObject& operator=(const CGraphicsObject&) = delete;

  // --- pixels ---
  // Allocates zeroed pixels (15 or 16 bpp: 2 bytes, 32: 4 bytes) and optionally an alpha plane.
  // False (and no pixels) for a size outside 1..kMaxSide or another depth.
  bool create(int width, int height, int bpp = 16, bool withAlpha = false);
  // Uses pixels the caller keeps alive (pitch in pixels), and their alpha plane when given (one byte a
  // pixel, rows of the width); the object does not own them.
  void SetDataPtr(void* pixels, int width, int height, int bpp, int pitch, uint8_t* alpha = nullptr);
  // Hands its own pixels and alpha plane over to another drawable (which drops what it had) without
  // copying, and is left without pixels; false (nothing moved) when it only borrows its pixels.
  bool movePixelsTo(CGraphicsObject& to);
  // Adds a zeroed (fully transparent) alpha plane, or drops it.
  void setAlphaPlane(bool present);
  // Expands kept-compressed pixels; the base class keeps them unpacked, so these do nothing.
  virtual bool DeCompress() { return true; }
  virtual bool bringBackCompressed() { return true; }
  virtual bool pack() { return true; }
  virtual bool unpack() { return true; }

  virtual void* GetDataPtr() { return pixels_; }
  const void* pixels() const { return pixels_; }
  uint16_t* pixels16() { return bpp_ == 32 ? nullptr : static_cast<uint16_t*>(pixels_); }
  // A writable alpha plane may be changed by the caller: the opaque rectangle is found again.
  uint8_t* GetAlphaPtr() {
    alphaChanged();
    return alphaData();
  }
  const uint8_t* GetAlphaPtr() const { return alphaData(); }
  bool hasAlpha() const { return alphaData() != nullptr; }
  int GetRealBpp() const { return bpp_; }
  int GetPitch() const { return pitch_; }
  virtual int Width() const { return width_; }
  virtual int Height() const { return height_; }
  CXSize Size() const { return CXSize(Width(), Height()); }
  // Converts the pixels between 5-6-5 (16) and 5-5-5 (15); false for other depths.
  bool Convert(int bpp);

  // Pixel value (0 outside), alpha (255 without a plane, 0 outside).
  uint16_t GetPixel(int x, int y) const;
  int GetAlpha(int x, int y) const;
  void Fill(const CColor* color);
  void Fill(CXRect area, const CColor* color);

  // --- position ---
  // Stores the requested position minus the anchor.
  virtual void SetPosition(int x, int y);
  void SetPosition(const CXPoint& p) { SetPosition(p.x, p.y); }
  void Move(int dx, int dy);
  // The stored (top-left) position.
  CXPoint GetPosition() const { return position_; }
  void setAnchor(int x, int y) { anchor_ = CXPoint(x, y); }
  CXPoint getAnchor() const { return anchor_; }
  CXRect GetBoundingBox() const { return CXRect(position_, Size()); }
  // True when the point (in destination coordinates) lies on the object: inside its box and, unless
  // ignored or absent, on a pixel whose alpha is not zero.
  virtual bool testHit(int x, int y, bool ignoreAlpha = false) const;

  // --- appearance ---
  bool isVisible() const { return visible_; }
  virtual void Visible(bool visible);
  void Show() { Visible(true); }
  void Hide() { Visible(false); }
  int GetOpacity() const { return opacity_; }
  // Clamped to 0..255.
  virtual void SetOpacity(int opacity);
  void AddOpacity(int delta) { SetOpacity(opacity_ + delta); }
  void setAlphaAsMask(bool on) { alphaAsMask_ = on; }
  bool isAlphaAsMask() const { return alphaAsMask_; }
  void SetFlags(int flags) { flags_ = flags; }
  int GetFlags() const { return flags_; }
  // FlipH exchanges rows (top to bottom), FlipV mirrors each row; each toggles its state.
  virtual void FlipH();
  virtual void FlipV();
  // Undoes the flips whose state is set.
  void resetFlips();
  bool isFlippedH() const { return flippedH_; }
  bool isFlippedV() const { return flippedV_; }

  // Clipping in the object's own coordinates; empty means none.
  void SetClippingRect(const CXRect& clip) { clip_ = clip; }
  const CXRect& GetClippingRect() const { return clip_; }
  void SetAutoClip(bool on) { autoClip_ = on; }
  bool isAutoClip() const { return autoClip_; }

  // --- occlusion ---
  // The largest rectangle (own coordinates) of pixels a draw copies unblended: alpha 255, or the whole
  // object without an alpha plane. Found once and kept until the alpha plane changes.
  virtual CXRect opaqueRect();
  // The part of the destination the next draw surely overwrites with the object's own pixels, so that
  // what lies under it need not be drawn: the opaque rectangle at the object's place within its
  // clipping and the destination. Empty below full opacity, with children drawn in, or without pixels.
  CXRect opaqueArea(const CGraphicsObject& destination);
  bool hasChildren() const { return !children_.empty(); }
  // Per row of the object, the columns from its first to past its last pixel of non-zero alpha (the
  // whole row without an alpha plane): no draw writes outside them. Found when first asked and kept
  // until the alpha plane changes; a holder of the old spans keeps them as they were.
  virtual std::shared_ptr<const std::vector<RowSpan>> shownRows();

  // --- drawing ---
  // The screen the drawable is on; the canvas sets itself when the drawable is put on it.
  void SetCanvas(CDrawableCanvas* canvas) { canvas_ = canvas; }
  CDrawableCanvas* GetCanvas() const { return canvas_; }
  void SetDestiny(CGraphicsObject* destination) { destiny_ = destination; }
  // As a destination: per row, the columns that draws into this object may write (see _canvas);
  // null lets them write everywhere. The caller keeps the spans alive while it is set.
  void setDrawWindow(const RowSpan* window) { drawWindow_ = window; }
  const RowSpan* drawWindow() const { return drawWindow_; }
  CGraphicsObject* GetDestiny() const { return destiny_; }
  // Draws this object into the destination at its position; false when nothing could be drawn.
  virtual bool redraw(CGraphicsObject* destination);
  // Children into this object (over the kept copy of its own pixels), then this into its destination.
  virtual void Redraw();

  // Child drawables, redrawn into this object. The object keeps a copy of its own pixels once it has
  // children, so each redraw starts from them. Children are not owned.
  void addObject(CGraphicsObject* child);
  void removeObject(CGraphicsObject* child);
  void removeAllObjects();

  // --- invalidation ---
  // The bounding box goes to the canvas as a dirty area, observers are told, the flag is set. Without
  // an area the canvas hears that the drawable itself changed (see invalidateDrawable).
  virtual void Invalidate();
  virtual void Invalidate(const CXRect* area);
  // The flag, left as it is.
  bool hasPendingInvalidation() const { return invalidated_; }
  // Returns the flag and clears it.
  bool isInvalidated() {
    bool was = invalidated_;
    invalidated_ = false;
    return was;
  }
  void addInvalidateObserver(CInvalidateObserver* observer);
  void removeInvalidateObserver(CInvalidateObserver* observer);
  void notifyInvalidate(const CXRect& area);

  // Watchers (not owned) hear of moves and of the end; each is kept once. The canvas is not among them.
  void addWatcher(CDrawableWatcher* watcher);
  void removeWatcher(CDrawableWatcher* watcher);

  const CXString& getFileName() const { return fileName_; }
  void setFileName(const CXString& name) { fileName_ = name; }

 protected:
  // Takes 16-bit pixels (width × height × 2 bytes in memory order) and an alpha plane (width × height
  // bytes, or empty) as its own storage, without copying; false (and nothing taken) for other sizes.
  bool adoptPixels(tarnvik::PixelBytes&& pixels, tarnvik::PixelBytes&& alpha, int width, int height, int bpp);
  // Gives the pixel and alpha storage back (not only empties it): no pixels, no size.
  void freePixels();
  // Counts the changes of the alpha plane (and of the pixels' size), so that a subclass showing
  // another drawable's alpha can tell whether its own copy is still that one.
  uint32_t alphaGeneration() const { return alphaGeneration_; }
  void setSize(int width, int height) {
    width_ = width;
    height_ = height;
  }

 private:
  size_t pixelBytes() const { return bpp_ == 32 ? 4 : 2; }
  uint8_t* alphaData() const { return alphaView_ ? alphaView_ : alpha_.empty() ? nullptr : const_cast<uint8_t*>(alpha_.data()); }
  void alphaChanged() {
    opaqueKnown_ = false;
    shown_.reset();
    ++alphaGeneration_;
  }
  void dropKept();

  // What every frame reads of every drawable comes first, to share the fewest cache lines.
  void* pixels_ = nullptr;
  uint8_t* alphaView_ = nullptr;   // a borrowed alpha plane, beside borrowed pixels
  CGraphicsObject* destiny_ = nullptr;
  int bpp_ = 16;
  int width_ = 0, height_ = 0, pitch_ = 0;
  CXPoint position_;
  CXRect clip_;
  int opacity_ = 255;
  bool autoClip_ = false;
  bool visible_ = true;
  bool alphaAsMask_ = false;
  bool invalidated_ = false;
  bool opaqueKnown_ = false;
  bool flippedH_ = false, flippedV_ = false;
  CXRect opaque_;
  const RowSpan* drawWindow_ = nullptr;
  tarnvik::PixelBytes alpha_;
  CXPoint anchor_;
  int flags_ = 0;
  uint32_t alphaGeneration_ = 0;
  CDrawableCanvas* canvas_ = nullptr;
  CGraphicsObject* parent_ = nullptr;
  std::shared_ptr<const std::vector<RowSpan>> shown_;
  tarnvik::PixelBytes owned_;      // pixel storage when the object owns its pixels
  tarnvik::PixelBytes kept_;       // own pixels before children were drawn in
  CXString fileName_;
  std::vector<CInvalidateObserver*> observers_;
  std::vector<CDrawableWatcher*> watchers_;
  std::vector<CGraphicsObject*> children_;
};
