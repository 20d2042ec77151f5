// Drawables: pixels, placement, appearance and drawing into a destination.
#include "graphics/pixels/graphics_object.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "graphics/pixels/canvas.h"
#include "graphics/pixels/color.h"

CGraphicsObject::CGraphicsObject(int width, int height, int bpp, bool withAlpha) { create(width, height, bpp, withAlpha); }

CGraphicsObject::~CGraphicsObject() {
  // The screen first (the hole is recomposed), then the other records (collisions), then the family.
  // Taken out first: a watcher that detaches itself while told must not change the list walked.
  CDrawableCanvas* canvas = std::exchange(canvas_, nullptr);
  if (canvas) canvas->onDrawableDestroyed(this);
  std::vector<CDrawableWatcher*> watchers = std::move(watchers_);
  watchers_.clear();
  for (CDrawableWatcher* watcher : watchers) watcher->onDrawableDestroyed(this);
  if (parent_) parent_->removeObject(this);
  for (CGraphicsObject* child : children_) child->parent_ = nullptr;
}

bool CGraphicsObject::create(int width, int height, int bpp, bool withAlpha) {
  alphaChanged();
  owned_.clear();
  alpha_.clear();
  alphaView_ = nullptr;
  kept_.clear();
  pixels_ = nullptr;
  width_ = height_ = pitch_ = 0;
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || (bpp != 15 && bpp != 16 && bpp != 32))
    return false;
  bpp_ = bpp;
  size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  owned_.assign(count * pixelBytes(), 0);
  if (withAlpha) alpha_.assign(count, 0);
  pixels_ = owned_.data();
  width_ = pitch_ = width;
  height_ = height;
  return true;
}

bool CGraphicsObject::adoptPixels(tarnvik::PixelBytes&& pixels, tarnvik::PixelBytes&& alpha, int width, int height,
                                  int bpp) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || (bpp != 15 && bpp != 16)) return false;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (pixels.size() != count * 2 || (!alpha.empty() && alpha.size() != count)) return false;
  kept_.clear();
  alphaChanged();
  owned_ = std::move(pixels);
  alpha_ = std::move(alpha);
  alphaView_ = nullptr;
  pixels_ = owned_.data();
  bpp_ = bpp;
  width_ = pitch_ = width;
  height_ = height;
  return true;
}

bool CGraphicsObject::movePixelsTo(CGraphicsObject& to) {
  if (&to == this || !pixels_ || alphaView_ || pixels_ != owned_.data() || pitch_ != width_ || (bpp_ != 15 && bpp_ != 16)) return false;
  dropKept();
  if (!to.adoptPixels(std::move(owned_), std::move(alpha_), width_, height_, bpp_)) return false;
  freePixels();
  return true;
}

void CGraphicsObject::freePixels() {
  tarnvik::PixelBytes().swap(owned_);
  tarnvik::PixelBytes().swap(alpha_);
  alphaView_ = nullptr;
  tarnvik::PixelBytes().swap(kept_);
  pixels_ = nullptr;
  width_ = height_ = pitch_ = 0;
  alphaChanged();
}

void CGraphicsObject::SetDataPtr(void* pixels, int width, int height, int bpp, int pitch, uint8_t* alpha) {
  owned_.clear();
  kept_.clear();
  alpha_.clear();
  alphaChanged();
  bool ok = pixels && width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && pitch >= width &&
            (bpp == 15 || bpp == 16 || bpp == 32);
  pixels_ = ok ? pixels : nullptr;
  bpp_ = ok ? bpp : 16;
  width_ = ok ? width : 0;
  height_ = ok ? height : 0;
  pitch_ = ok ? pitch : 0;
  alphaView_ = ok ? alpha : nullptr;
}

void CGraphicsObject::setAlphaPlane(bool present) {
  alphaChanged();
  if (!present) {
    alpha_.clear();
    alphaView_ = nullptr;
  } else if (!alphaData() && width_ > 0 && pitch_ == width_) {
    alpha_.assign(static_cast<size_t>(width_) * height_, 0);
  }
}

bool CGraphicsObject::Convert(int bpp) {
  if (bpp == bpp_) return true;
  if (!pixels_ || (bpp != 15 && bpp != 16) || (bpp_ != 15 && bpp_ != 16)) return false;
  dropKept();
  for (int y = 0; y < height_; ++y) {
    uint16_t* row = static_cast<uint16_t*>(pixels_) + static_cast<size_t>(y) * pitch_;
    for (int x = 0; x < width_; ++x) {
      uint16_t p = row[x];
      // 5-6-5 <-> 5-5-5: green loses its lowest bit, or gains a zero one.
      row[x] = bpp == 15 ? static_cast<uint16_t>(((p & 0xFFC0) >> 1) | (p & 0x1F))
                         : static_cast<uint16_t>(((p & 0x7FE0) << 1) | (p & 0x1F));
    }
  }
  bpp_ = bpp;
  return true;
}

uint16_t CGraphicsObject::GetPixel(int x, int y) const {
  if (!pixels_ || bpp_ == 32 || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return static_cast<const uint16_t*>(pixels_)[static_cast<size_t>(y) * pitch_ + x];
}

int CGraphicsObject::GetAlpha(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const uint8_t* alpha = alphaData();
  return alpha ? alpha[static_cast<size_t>(y) * width_ + x] : 255;
}

void CGraphicsObject::Fill(const CColor* color) { Fill(CXRect(0, 0, width_, height_), color); }

void CGraphicsObject::Fill(CXRect area, const CColor* color) {
  area = area.intersection(CXRect(0, 0, width_, height_));
  if (!pixels_ || area.isEmpty()) return;
  CColor black;
  uint32_t value = (color ? *color : black).GetInBPP(bpp_);
  for (int y = area.top; y < area.bottom; ++y) {
    size_t at = static_cast<size_t>(y) * pitch_;
    if (bpp_ == 32) {
      uint32_t* row = static_cast<uint32_t*>(pixels_) + at;
      std::fill(row + area.left, row + area.right, value & 0xFFFFFFu);
    } else {
      uint16_t* row = static_cast<uint16_t*>(pixels_) + at;
      std::fill(row + area.left, row + area.right, static_cast<uint16_t>(value));
    }
  }
}

void CGraphicsObject::SetPosition(int x, int y) {
  position_ = CXPoint(x, y) - anchor_;
  if (watchers_.empty()) return;
  auto copy = watchers_;
  for (CDrawableWatcher* watcher : copy)
    if (std::find(watchers_.begin(), watchers_.end(), watcher) != watchers_.end()) watcher->onDrawableMoved(this);
}

void CGraphicsObject::addWatcher(CDrawableWatcher* watcher) {
  if (watcher && std::find(watchers_.begin(), watchers_.end(), watcher) == watchers_.end())
    watchers_.push_back(watcher);
}

void CGraphicsObject::removeWatcher(CDrawableWatcher* watcher) {
  watchers_.erase(std::remove(watchers_.begin(), watchers_.end(), watcher), watchers_.end());
}

void CGraphicsObject::Move(int dx, int dy) {
  CXPoint to = position_ + CXPoint(dx, dy) + anchor_;
  SetPosition(to.x, to.y);
}

bool CGraphicsObject::testHit(int x, int y, bool ignoreAlpha) const {
  if (!GetBoundingBox().contains(x, y)) return false;
  if (ignoreAlpha || !alphaData()) return true;
  return GetAlpha(x - position_.x, y - position_.y) != 0;
}

void CGraphicsObject::Visible(bool visible) {
  visible_ = visible;
  Invalidate();
}

void CGraphicsObject::SetOpacity(int opacity) { opacity_ = std::clamp(opacity, 0, 255); }

void CGraphicsObject::dropKept() {
  // The pixels hold drawn-in children: put the object's own pixels back before changing them.
  if (!kept_.empty() && pixels_) std::memcpy(pixels_, kept_.data(), kept_.size());
  kept_.clear();
}

void CGraphicsObject::FlipH() {
  dropKept();
  alphaChanged();
  if (pixels_) {
    size_t rowBytes = static_cast<size_t>(width_) * pixelBytes();
    std::vector<uint8_t> tmp(rowBytes);
    auto* base = static_cast<uint8_t*>(pixels_);
    size_t pitchBytes = static_cast<size_t>(pitch_) * pixelBytes();
    for (int top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom) {
      std::memcpy(tmp.data(), base + top * pitchBytes, rowBytes);
      std::memcpy(base + top * pitchBytes, base + bottom * pitchBytes, rowBytes);
      std::memcpy(base + bottom * pitchBytes, tmp.data(), rowBytes);
      if (uint8_t* alpha = alphaData())
        std::swap_ranges(alpha + static_cast<ptrdiff_t>(top) * width_, alpha + static_cast<ptrdiff_t>(top + 1) * width_,
                         alpha + static_cast<ptrdiff_t>(bottom) * width_);
    }
  }
  flippedH_ = !flippedH_;
}

void CGraphicsObject::FlipV() {
  dropKept();
  alphaChanged();
  if (pixels_) {
    for (int y = 0; y < height_; ++y) {
      size_t at = static_cast<size_t>(y) * pitch_;
      if (bpp_ == 32) {
        uint32_t* row = static_cast<uint32_t*>(pixels_) + at;
        std::reverse(row, row + width_);
      } else {
        uint16_t* row = static_cast<uint16_t*>(pixels_) + at;
        std::reverse(row, row + width_);
      }
      if (uint8_t* alpha = alphaData()) {
        uint8_t* row = alpha + static_cast<ptrdiff_t>(y) * width_;
        std::reverse(row, row + width_);
      }
    }
  }
  flippedV_ = !flippedV_;
}

void CGraphicsObject::resetFlips() {
  if (flippedH_) FlipH();
  if (flippedV_) FlipV();
}

bool CGraphicsObject::redraw(CGraphicsObject* destination) {
  if (!destination || !pixels_ || !destination->GetDataPtr()) return false;
  int dbpp = destination->GetRealBpp();
  if ((dbpp == 15 || dbpp == 16) && dbpp != bpp_ && !Convert(dbpp)) return false;
  int64_t x = position_.x, y = position_.y;
  if (x + width_ <= 0 || y + height_ <= 0 || x >= destination->Width() || y >= destination->Height()) return false;
  CXRect clip = clip_;
  if (autoClip_) {
    // Computed for this draw only: the object's own clipping stays as the script set it.
    CXRect visible(static_cast<int32_t>(std::max<int64_t>(0, -x)), static_cast<int32_t>(std::max<int64_t>(0, -y)),
                   static_cast<int32_t>(std::min<int64_t>(width_, destination->Width() - x)),
                   static_cast<int32_t>(std::min<int64_t>(height_, destination->Height() - y)));
    if (visible.isEmpty()) return false;
    clip = clip.isEmpty() ? visible : clip.intersection(visible);
    if (clip.isEmpty()) return false;
  }
  _canvas src;
  src.pixels = pixels_;
  src.alpha = alphaData();  // read only: the opaque rectangle stays
  src.bpp = bpp_;
  src.x = position_.x;
  src.y = position_.y;
  src.width = pitch_;
  src.height = height_;
  src.clip = clip.isEmpty() ? CXRect(0, 0, width_, height_) : clip;
  _canvas dst;
  dst.pixels = destination->GetDataPtr();
  dst.alpha = destination->GetAlphaPtr();
  dst.bpp = dbpp;
  dst.width = destination->GetPitch();
  dst.height = destination->Height();
  dst.window = destination->drawWindow();
  using namespace tarnvik::canvas;
  if (opacity_ < 255) return copyBlend(src, dst, opacity_);
  if (dst.alpha) return copyToCanvas(src, dst);
  if (!src.alpha) return copyPlain(src, dst);
  return alphaAsMask_ ? copyAlphaAsMask(src, dst) : copyAlpha(src, dst);
}

void CGraphicsObject::Redraw() {
  if (!children_.empty() && pixels_) {
    size_t bytes = static_cast<size_t>(pitch_) * height_ * pixelBytes();
    if (kept_.size() != bytes) kept_.assign(static_cast<uint8_t*>(pixels_), static_cast<uint8_t*>(pixels_) + bytes);
    else std::memcpy(pixels_, kept_.data(), bytes);
    for (CGraphicsObject* child : children_)
      if (child->isVisible()) child->redraw(this);
  }
  if (destiny_ && destiny_ != this) redraw(destiny_);
}

CXRect CGraphicsObject::opaqueRect() {
  if (!opaqueKnown_) {
    const uint8_t* alpha = alphaData();
    opaque_ = alpha ? tarnvik::canvas::largestOpaqueRect(alpha, width_, height_) : CXRect(0, 0, width_, height_);
    opaqueKnown_ = true;
  }
  return opaque_;
}

std::shared_ptr<const std::vector<RowSpan>> CGraphicsObject::shownRows() {
  const size_t rows = static_cast<size_t>(std::max(height_, 0));
  if (shown_ && shown_->size() == rows) return shown_;
  auto spans = std::make_shared<std::vector<RowSpan>>(rows, RowSpan{0, width_});
  if (const uint8_t* alpha = alphaData()) {
    // Transparent margins are passed eight bytes at a time.
    auto zero8 = [](const uint8_t* p) {
      uint64_t v;
      std::memcpy(&v, p, sizeof v);
      return v == 0;
    };
    for (size_t y = 0; y < rows; ++y) {
      const uint8_t* row = alpha + y * static_cast<size_t>(width_);
      int left = 0, right = width_;
      while (right - left >= 8 && zero8(row + left)) left += 8;
      while (left < right && row[left] == 0) ++left;
      while (right - left >= 8 && zero8(row + right - 8)) right -= 8;
      while (right > left && row[right - 1] == 0) --right;
      (*spans)[y] = RowSpan{left, right};
    }
  }
  shown_ = std::move(spans);
  return shown_;
}

CXRect CGraphicsObject::opaqueArea(const CGraphicsObject& destination) {
  // Only the plain and the alpha copy at full opacity write the object's own pixels unblended, and
  // children drawn in change the pixels at every draw.
  if (!pixels_ || opacity_ < 255 || !children_.empty() || (bpp_ != 15 && bpp_ != 16)) return CXRect();
  CXRect area = opaqueRect();
  if (!clip_.isEmpty()) area = area.intersection(clip_);
  if (area.isEmpty()) return CXRect();
  area.offset(position_.x, position_.y);
  return area.intersection(CXRect(0, 0, destination.Width(), destination.Height()));
}

void CGraphicsObject::addObject(CGraphicsObject* child) {
  if (!child || child == this || std::find(children_.begin(), children_.end(), child) != children_.end()) return;
  if (child->parent_) child->parent_->removeObject(child);
  children_.push_back(child);
  child->parent_ = this;
}

void CGraphicsObject::removeObject(CGraphicsObject* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it == children_.end()) return;
  children_.erase(it);
  child->parent_ = nullptr;
}

void CGraphicsObject::removeAllObjects() {
  for (CGraphicsObject* child : children_) child->parent_ = nullptr;
  children_.clear();
}

void CGraphicsObject::Invalidate() {
  CXRect box = GetBoundingBox();
  if (canvas_) canvas_->invalidateDrawable(box);
  notifyInvalidate(box);
  invalidated_ = true;
}

void CGraphicsObject::Invalidate(const CXRect* area) {
  CXRect box = area ? *area : GetBoundingBox();
  if (canvas_) canvas_->invalidateArea(box);
  notifyInvalidate(box);
  invalidated_ = true;
}

void CGraphicsObject::addInvalidateObserver(CInvalidateObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void CGraphicsObject::removeInvalidateObserver(CInvalidateObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void CGraphicsObject::notifyInvalidate(const CXRect& area) {
  auto copy = observers_;
  for (CInvalidateObserver* observer : copy)
    if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) observer->onInvalidate(this, area);
}
