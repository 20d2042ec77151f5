// Frame composition: the refresh order, dirty areas, the background and the canvas observers.
#include "graphics/refresh_screen.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "files/state_fields.h"
#include "foundation/log.h"
#include "graphics/pixels/canvas.h"
#include "graphics/pixels/color.h"
#include "graphics/pixels/surface.h"

namespace {
CRefreshScreen::ImageLoader& imageLoader() {
  static CRefreshScreen::ImageLoader loader;
  return loader;
}

int64_t positiveMod(int64_t v, int64_t m) { return ((v % m) + m) % m; }

// Each rectangle costs about as much as recomposing a couple of thousand pixels (a background piece,
// a look at every drawable, a draw of each one it meets). When many small drawables move at once,
// their hundreds of rectangles cost more than the whole screen composed as one area.
bool wholeScreenIsCheaper(size_t areas, int64_t dirtyPixels, const CXRect& screen) {
  constexpr int64_t kPixelsPerArea = 2000;
  constexpr size_t kFewAreas = 32;  // always composed one by one
  const int64_t screenPixels = static_cast<int64_t>(screen.width()) * screen.height();
  return areas > kFewAreas && static_cast<int64_t>(areas) * kPixelsPerArea + dirtyPixels > screenPixels;
}

// Joins disjoint rectangles that share a whole edge: side by side (the same rows) or stacked (the
// same columns). Sorted by rows then left (or columns then top), every pair that can join is next
// to each other, so one pass joins each run, in n log n even for the hundreds of rectangles many
// small moving drawables leave. True when any were joined.
bool joinRuns(std::vector<CXRect>& areas, bool sideways) {
  std::sort(areas.begin(), areas.end(), [sideways](const CXRect& x, const CXRect& y) {
    return sideways ? std::tie(x.top, x.bottom, x.left) < std::tie(y.top, y.bottom, y.left)
                    : std::tie(x.left, x.right, x.top) < std::tie(y.left, y.right, y.top);
  });
  size_t kept = 0;
  for (const CXRect& next : areas) {
    if (kept > 0) {
      CXRect& last = areas[kept - 1];
      const bool joins = sideways ? last.top == next.top && last.bottom == next.bottom && last.right == next.left
                                  : last.left == next.left && last.right == next.right && last.bottom == next.top;
      if (joins) {
        last = last.united(next);
        continue;
      }
    }
    areas[kept++] = next;
  }
  const bool joined = kept < areas.size();
  areas.resize(kept);
  return joined;
}
}  // namespace

// --- the refresh order ---

void CValidationQuene::insert(CGraphicsObject* object, int priority, int flags) {
  auto at = std::upper_bound(items_.begin(), items_.end(), priority,
                             [](int p, const CValidationElement& e) { return p < e.priority; });
  CValidationElement element;
  element.object = object;
  element.priority = priority;
  element.flags = flags;
  items_.insert(at, element);
  ++generation_;
}

int CValidationQuene::find(const CGraphicsObject* object) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].object == object) return static_cast<int>(i);
  return -1;
}

bool CValidationQuene::remove(const CGraphicsObject* object) {
  int i = find(object);
  if (i < 0) return false;
  items_.erase(items_.begin() + i);
  ++generation_;
  return true;
}

void CValidationQuene::clearMarks() {
  for (auto& e : items_) e.mark = false;
}

// --- the background ---

class CRefreshScreen::CBackgroundManager {
 public:
  std::unique_ptr<CDirectDrawSurface> surface;
  int mode = kNoScroll;

  // Copies the background under every rectangle (cut to the screen), wrapping around as the scroll mode says.
  void Redraw(CGraphicsObject* destination, const std::vector<CXRect>& rects) {
    if (!surface || !surface->GetDataPtr() || !destination->GetDataPtr()) return;
    const int64_t w = surface->Width(), h = surface->Height();
    int64_t px = positiveMod(surface->GetPosition().x, w), py = positiveMod(surface->GetPosition().y, h);
    if (mode == kNoScroll && (px || py)) mode = px ? kHorizontal : kVertical;
    bool wrapX = mode == kHorizontal || mode == kBoth, wrapY = mode == kVertical || mode == kBoth;
    _canvas src;
    src.pixels = surface->GetDataPtr();
    src.bpp = surface->GetRealBpp();
    src.width = surface->GetPitch();
    src.height = surface->Height();
    _canvas dst;
    dst.pixels = destination->GetDataPtr();
    dst.bpp = destination->GetRealBpp();
    dst.width = destination->GetPitch();
    dst.height = destination->Height();
    dst.window = destination->drawWindow();
    for (const CXRect& rect : rects) {
      // Copies start one background width (height) before the offset when wrapping, and repeat
      // until the rectangle is covered: two per axis for a background at least as large as the screen.
      for (int64_t ty = wrapY ? py - h : py; ty < rect.bottom; ty += h) {
        if (ty + h <= rect.top) continue;
        for (int64_t tx = wrapX ? px - w : px; tx < rect.right; tx += w) {
          if (tx + w > rect.left) {
            CXRect tile(static_cast<int32_t>(tx), static_cast<int32_t>(ty), static_cast<int32_t>(tx + w),
                        static_cast<int32_t>(ty + h));
            CXRect part = tile.intersection(rect);
            if (!part.isEmpty()) {
              src.x = static_cast<int>(tx);
              src.y = static_cast<int>(ty);
              src.clip = CXRect(part.left - tile.left, part.top - tile.top, part.right - tile.left,
                                part.bottom - tile.top);
              tarnvik::canvas::copyPlain(src, dst);
            }
          }
          if (!wrapX) break;
        }
        if (!wrapY) break;
      }
    }
  }
};

// --- the refresh manager ---

void CRefreshScreen::setImageLoader(ImageLoader loader) { imageLoader() = std::move(loader); }

CRefreshScreen::CRefreshScreen(const CXSize& screen, int bpp)
    : region_(screen), background_(std::make_unique<CBackgroundManager>()), screenBpp_(bpp) {
  late_.setScreen(screen);
  setSize(screen.width, screen.height);
}

CRefreshScreen::~CRefreshScreen() {
  for (size_t i = 0; i < queue_.size(); ++i)
    if (queue_.at(i).object->GetCanvas() == this) queue_.at(i).object->SetCanvas(nullptr);
}

void CRefreshScreen::put(CGraphicsObject* object, int priority) {
  if (!object || object == this || contains(object)) return;
  if (object->GetCanvas() && object->GetCanvas() != this) object->GetCanvas()->release(object);
  object->SetCanvas(this);
  queue_.insert(object, priority);
  object->Invalidate();
}

void CRefreshScreen::release(CGraphicsObject* object) {
  if (!object || !queue_.remove(object)) return;
  // Its earlier changes counted on it being walked in the next frame: that frame recomposes its
  // dirty areas whole.
  noteAreaInvalidated();
  if (object->GetCanvas() == this) object->SetCanvas(nullptr);
}

void CRefreshScreen::remove(CGraphicsObject* object) {
  if (!object || !contains(object)) return;
  CXRect box = object->GetBoundingBox();
  if (object->isVisible()) Invalidate(&box);
  *this >> object;
}

void CRefreshScreen::onDrawableDestroyed(CGraphicsObject* object) {
  // A drawable going away leaves a hole to recompose.
  if (queue_.find(object) < 0) return;
  CXRect box = object->GetBoundingBox();
  if (object->isVisible()) Invalidate(&box);
  queue_.remove(object);
  noteAreaInvalidated();
}

void CRefreshScreen::SetPriority(CGraphicsObject* object, int priority) {
  if (!queue_.remove(object)) return;
  queue_.insert(object, priority);
  Invalidate(object);
}

int CRefreshScreen::GetPriority(const CGraphicsObject* object) const {
  int i = queue_.find(object);
  return i < 0 ? -1 : queue_.at(static_cast<size_t>(i)).priority;
}

int CRefreshScreen::GetFlags(const CGraphicsObject* object) const {
  int i = queue_.find(object);
  return i < 0 ? 0 : queue_.at(static_cast<size_t>(i)).flags;
}

void CRefreshScreen::SetFlags(CGraphicsObject* object, int flags) {
  if (!object) {
    if ((flags ^ refreshFlags_) & kGrey) Invalidate();  // the whole picture changes colour
    refreshFlags_ = flags;
    return;
  }
  int i = queue_.find(object);
  if (i >= 0) queue_.at(static_cast<size_t>(i)).flags = flags;
}

void CRefreshScreen::setAllVisible(bool visible) {
  for (size_t i = 0; i < queue_.size(); ++i) queue_.at(i).object->Visible(visible);
}

void CRefreshScreen::Invalidate(CGraphicsObject* object) {
  if (!object || !object->isVisible() || !contains(object)) return;
  CXRect box = object->GetBoundingBox();
  Invalidate(&box);
}

void CRefreshScreen::noteAreaInvalidated() {
  areaInvalidated_ = true;
  if (areasTaken_) lateAreaInvalidated_ = true;
}

void CRefreshScreen::addDirty(const CXRect* area) {
  if (!area) {
    region_.add(nullptr);
    if (areasTaken_) late_.add(nullptr);
    return;
  }
  CXRect cut = area->intersection(CXRect(CXPoint(0, 0), Size()));
  if (cut.isEmpty()) return;
  region_.add(&cut);
  if (areasTaken_) late_.add(&cut);
}

void CRefreshScreen::Invalidate(const CXRect* area) {
  noteAreaInvalidated();
  addDirty(area);
}

void CRefreshScreen::invalidateDrawable(const CXRect& box) { addDirty(&box); }

void CRefreshScreen::clearRegion() {
  region_.clear();
  areaInvalidated_ = std::exchange(lateAreaInvalidated_, false);
  if (late_.isFullScreen()) region_.add(nullptr);
  else
    for (const CXRect& r : late_.rects()) region_.add(&r);
  late_.clear();
  areasTaken_ = false;
}

void CRefreshScreen::requestInitialUpdate(std::function<void()> update) {
  initialUpdated_ = false;
  initialUpdate_ = std::move(update);
}

bool CRefreshScreen::Redraw(CGraphicsObject* destination, CSurface*, bool& ranInitialUpdate) {
  ranInitialUpdate = false;
  if (!destination || !destination->GetDataPtr()) return false;
  if (!initialUpdated_) {
    if (notify_) notify(CCanvasObserver::kBeforeInitialUpdate);
    initialUpdated_ = true;
    if (auto update = std::move(initialUpdate_)) update();
    initialUpdate_ = nullptr;
    Invalidate();
    ranInitialUpdate = true;
  }
  bool composed = compose(destination);
  if (ranInitialUpdate && notify_) notify(CCanvasObserver::kInitialUpdateDone);
  return composed;
}

bool CRefreshScreen::compose(CGraphicsObject* destination) {
  if (composing_) return false;  // asked for by script code run from within the frame
  composing_ = true;
  // From here until the region is cleared, what is invalidated is not in this frame.
  late_.clear();
  lateAreaInvalidated_ = false;
  areasTaken_ = true;
  const bool dirty = !region_.isEmpty();
  ++frames_;
  const CXRect screen(CXPoint(0, 0), Size());
  dirtyAreas(screen, areas_);
  const std::vector<CXRect>& areas = areas_;
  // Drawing runs no script code (only the observers of the frame's start do, below), so the order,
  // the flags and the covers hold for the whole walk.
  prepareLayers(destination, areas);
  destination->setDrawWindow(prepareWindow(*destination) ? window_.data() : nullptr);
  shown_.clear();
  for (const CXRect& area : areas) {
    uncovered(area, 0, pieces_);
    shown_.insert(shown_.end(), pieces_.begin(), pieces_.end());
  }
  background_->Redraw(destination, shown_);
  if (!queue_.empty() && notify_) {
    // The observers run script code, which may add drawables to the order or take them out: then
    // the places found above are stale, and this frame draws every visible drawable in the dirty
    // areas without covers, and the next one recomposes the whole screen.
    const uint64_t order = queue_.generation();
    notify(CCanvasObserver::kFrameStarted);
    if (queue_.generation() != order) redoLayersAfterReorder();
  }
  for (const Layer& layer : layers_) {
    CValidationElement& element = queue_.at(layer.index);
    CGraphicsObject* object = element.object;
    if (!object->isVisible()) continue;  // hidden by an observer of the frame's start
    if (layer.invalidated) {
      drawClipped(object, destination, screen, element, layer.index);
      continue;
    }
    for (const CXRect& rect : areas) {
      if (element.mark) break;
      if (object->GetBoundingBox().intersects(rect)) drawClipped(object, destination, rect, element, layer.index);
    }
  }
  destination->setDrawWindow(nullptr);
  composing_ = false;
  if (dirty && notify_) notify(CCanvasObserver::kFrameComposed);
  queue_.clearMarks();
  if (dirty && (refreshFlags_ & kGrey)) toGrey(destination);
  return dirty;
}

void CRefreshScreen::dirtyAreas(const CXRect& screen, std::vector<CXRect>& areas) const {
  areas.clear();
  if (region_.isFullScreen()) {
    areas.push_back(screen);
    return;
  }
  int64_t dirtyPixels = 0;
  for (const CXRect& rect : region_.rects()) {
    CXRect cut = rect.intersection(screen);
    if (cut.isEmpty()) continue;
    areas.push_back(cut);
    dirtyPixels += static_cast<int64_t>(cut.width()) * cut.height();
  }
  // The window (see prepareWindow) still narrows a whole-screen area to the columns the changed
  // drawables were and are drawn in. Grey mode greys the dirty rectangles only, so it keeps them.
  if (!(refreshFlags_ & kGrey) && wholeScreenIsCheaper(areas.size(), dirtyPixels, screen)) {
    areas.assign(1, screen);
    return;
  }
  // Rectangles sharing a whole edge become one (a sideways move leaves the old place and a strip
  // beside it): the same pixels, composed in fewer and longer rows. A row of rectangles side by side
  // may stack onto a like row, so the two kinds of joins take turns until neither finds more.
  // (A few turns join nearly everything that can be joined; what stays apart is merely drawn apart.)
  constexpr int kMostTurns = 8;
  for (int turn = 0; turn < kMostTurns && areas.size() > 1; ++turn) {
    const bool sideBySide = joinRuns(areas, true);
    const bool stacked = joinRuns(areas, false);
    if (!sideBySide && !stacked) break;
  }
}

void CRefreshScreen::prepareLayers(CGraphicsObject* destination, const std::vector<CXRect>& areas) {
  layers_.clear();
  changed_.clear();
  covers_.clear();
  // Pixels copied unblended replace what lies under them only on a plain 15 or 16-bit destination
  // (onto one with its own alpha plane the alpha adds up).
  const bool canHide = !destination->hasAlpha() && (destination->GetRealBpp() == 15 || destination->GetRealBpp() == 16);
  const CXRect screen(CXPoint(0, 0), Size());
  // One pass over the drawables: the rest of the frame visits only those it draws or that changed.
  for (size_t i = 0; i < queue_.size(); ++i) {
    CGraphicsObject* object = queue_.at(i).object;
    if (!object->isVisible()) {
      if (object->hasPendingInvalidation()) changed_.push_back(i);
      continue;
    }
    const bool invalidated = object->isInvalidated();
    if (invalidated) changed_.push_back(i);
    // An invalidated drawable is drawn on the whole screen, any other one only inside the dirty areas.
    const CXRect box = object->GetBoundingBox();
    if (!invalidated && std::none_of(areas.begin(), areas.end(), [&](const CXRect& a) { return a.intersects(box); }))
      continue;
    layers_.push_back({i, invalidated});
    if (!canHide) continue;
    const CXRect opaque = object->opaqueArea(*destination).intersection(screen);
    if (opaque.isEmpty()) continue;
    if (invalidated || region_.isFullScreen()) {
      covers_.push_back({i, opaque});
      continue;
    }
    for (const CXRect& area : areas) {
      CXRect part = opaque.intersection(area);
      if (!part.isEmpty()) covers_.push_back({i, part});
    }
  }
}

void CRefreshScreen::redoLayersAfterReorder() {
  // The window stays: the background went only where it lets copies write.
  covers_.clear();
  layers_.clear();
  for (size_t i = 0; i < queue_.size(); ++i)
    if (queue_.at(i).object->isVisible()) layers_.push_back({i, queue_.at(i).object->isInvalidated()});
  Invalidate();
}

bool CRefreshScreen::prepareWindow(const CGraphicsObject& destination) {
  // Every copy honours a window, but greying works on whole areas, and a destination with its own
  // alpha plane is left to the plain rule.
  const int bpp = destination.GetRealBpp();
  bool usable = !region_.isFullScreen() && !areaInvalidated_ && !(refreshFlags_ & kGrey) &&
                !destination.hasAlpha() && (bpp == 15 || bpp == 16) && destination.Height() == Height();
  if (usable) {
    window_.resize(static_cast<size_t>(std::max(Height(), 0)), kNoColumns);
    for (int32_t y = windowTop_; y < std::min<int32_t>(windowBottom_, Height()); ++y) window_[static_cast<size_t>(y)] = kNoColumns;
    windowTop_ = Height();
    windowBottom_ = 0;
  }
  const CXRect screen(CXPoint(0, 0), Size());
  for (size_t i : changed_) {
    CValidationElement& element = queue_.at(i);
    CGraphicsObject* object = element.object;
    const bool visible = object->isVisible();
    // What it showed must be recomposed as well as what it shows now.
    CValidationElement::Footprint& f = element.footprint;
    if (usable && !f.known) usable = false;
    if (usable) widenWindow(f);
    f.known = true;
    f.box = object->GetBoundingBox();
    f.reach = visible ? f.box.intersection(screen) : CXRect();
    CXRect clip = object->GetClippingRect();
    if (!clip.isEmpty() && !f.reach.isEmpty()) {
      clip.offset(f.box.left, f.box.top);
      f.reach = f.reach.intersection(clip);
    }
    f.rows = f.reach.isEmpty() ? nullptr : object->shownRows();
    if (usable) widenWindow(f);
  }
  return usable;
}

void CRefreshScreen::widenWindow(const CValidationElement::Footprint& f) {
  if (f.reach.isEmpty() || !f.rows) return;
  // A footprint from before the screen changed size may reach past it.
  const int32_t top = std::max(f.reach.top, 0), bottom = std::min<int32_t>(f.reach.bottom, static_cast<int32_t>(window_.size()));
  if (top >= bottom) return;
  windowTop_ = std::min(windowTop_, top);
  windowBottom_ = std::max(windowBottom_, bottom);
  // Rows of a picture shorter than its box leave nothing to go by: those are whole. Kept in locals,
  // as the window's rows could otherwise alias the footprint. An empty row of the window is the
  // widest empty span (see kNoColumns), so joining a span is a plain minimum and maximum; a span the
  // reach cuts to nothing becomes that empty one first.
  const std::vector<RowSpan>& rows = *f.rows;
  const int32_t known = std::max(top, std::min<int32_t>(bottom, f.box.top + static_cast<int32_t>(rows.size())));
  const int32_t reachLeft = f.reach.left, reachRight = f.reach.right, boxLeft = f.box.left;
  auto join = [&](RowSpan& w, const RowSpan& span) {
    const int32_t left = std::max(reachLeft, boxLeft + span.left), right = std::min(reachRight, boxLeft + span.right);
    const bool shows = left < right;
    w.left = std::min(w.left, shows ? left : kNoColumns.left);
    w.right = std::max(w.right, shows ? right : kNoColumns.right);
  };
  RowSpan* w = window_.data();
  const RowSpan* span = rows.data() + (top - f.box.top);  // the reach lies within the box
  for (int32_t y = top; y < known; ++y) join(w[y], *span++);
  const RowSpan whole{0, f.box.width()};
  for (int32_t y = known; y < bottom; ++y) join(w[y], whole);
}

void CRefreshScreen::uncovered(const CXRect& area, size_t above, std::vector<CXRect>& pieces) {
  // Each cover splits a piece it meets into at most four; past a few pieces the extra draws would
  // cost more than the pixels they save, and drawing a hidden pixel is harmless.
  constexpr size_t kMostPieces = 8;
  pieces.assign(1, area);
  auto first = std::lower_bound(covers_.begin(), covers_.end(), above,
                                [](const Cover& c, size_t index) { return c.index < index; });
  std::vector<CXRect>& next = spare_;
  for (auto cover = first; cover != covers_.end() && !pieces.empty(); ++cover) {
    const CXRect& c = cover->area;
    if (!c.intersects(area)) continue;
    next.clear();
    for (const CXRect& p : pieces) {
      if (!p.intersects(c)) {
        next.push_back(p);
        continue;
      }
      const int32_t top = std::max(p.top, c.top), bottom = std::min(p.bottom, c.bottom);
      if (c.top > p.top) next.emplace_back(p.left, p.top, p.right, c.top);
      if (c.bottom < p.bottom) next.emplace_back(p.left, c.bottom, p.right, p.bottom);
      if (c.left > p.left) next.emplace_back(p.left, top, c.left, bottom);
      if (c.right < p.right) next.emplace_back(c.right, top, p.right, bottom);
    }
    if (next.size() > kMostPieces) break;
    pieces.swap(next);
  }
}

void CRefreshScreen::drawClipped(CGraphicsObject* object, CGraphicsObject* destination, const CXRect& screenPart,
                                 CValidationElement& element, size_t index) {
  const CXRect box = object->GetBoundingBox();
  CXRect part = box.intersection(screenPart).intersection(CXRect(CXPoint(0, 0), Size()));
  if (part.isEmpty()) return;
  part.offset(-box.left, -box.top);
  // The object's own clipping is kept and narrowed, never replaced: a script's clipping holds in
  // every frame, and no pixel outside the dirty part is drawn (blends must not apply twice).
  const CXRect own = object->GetClippingRect();
  CXRect used = own.isEmpty() ? part : own.intersection(part);
  if (used.isEmpty()) return;
  if (used == CXRect(0, 0, object->Width(), object->Height())) element.mark = true;
  // Only what no drawable above overwrites is drawn, in disjoint pieces, so nothing blends twice.
  CXRect onScreen = used;
  onScreen.offset(box.left, box.top);
  std::vector<CXRect>& pieces = pieces_;
  uncovered(onScreen, index + 1, pieces);
  if (pieces.empty()) return;
  object->SetDestiny(destination);
  for (CXRect piece : pieces) {
    piece.offset(-box.left, -box.top);
    object->SetClippingRect(piece);
    object->Redraw();
  }
  object->SetClippingRect(own);
}

void CRefreshScreen::toGrey(CGraphicsObject* destination) {
  if (destination->GetRealBpp() == 32) return;
  const bool is565 = destination->GetRealBpp() == 16;
  auto* pixels = static_cast<uint16_t*>(destination->GetDataPtr());
  const CXRect screen = CXRect(CXPoint(0, 0), Size()).intersection(CXRect(0, 0, destination->Width(), destination->Height()));
  for (const CXRect& entry : region_.rects()) {
    CXRect rect = region_.isFullScreen() ? screen : entry.intersection(screen);
    for (int y = rect.top; y < rect.bottom; ++y)
      for (int x = rect.left; x < rect.right; ++x) {
        uint16_t& p = pixels[static_cast<size_t>(y) * destination->GetPitch() + x];
        int r5 = is565 ? p >> 11 : (p >> 10) & 31, b5 = p & 31;
        int r = (r5 << 3) | (r5 >> 2), b = (b5 << 3) | (b5 >> 2);
        int g = is565 ? (((p >> 5) & 63) << 2) | (((p >> 5) & 63) >> 4) : (((p >> 5) & 31) << 3) | (((p >> 5) & 31) >> 2);
        // Luma weights of the usual television formula, in 8-bit fixed point.
        int l = (r * 77 + g * 150 + b * 29) >> 8;
        p = is565 ? static_cast<uint16_t>(((l >> 3) << 11) | ((l >> 2) << 5) | (l >> 3))
                  : static_cast<uint16_t>(((l >> 3) << 10) | ((l >> 3) << 5) | (l >> 3));
      }
  }
}

CGraphicsObject* CRefreshScreen::getGraphicsAt(int x, int y, bool onlyVisible, int lowestPriority,
                                               int highestPriority, bool ignoreAlpha) const {
  CGraphicsObject* found = nullptr;
  for (size_t i = 0; i < queue_.size(); ++i) {
    const CValidationElement& e = queue_.at(i);
    if (lowestPriority >= 0 && e.priority < lowestPriority) continue;
    if (highestPriority >= 0 && e.priority > highestPriority) continue;
    if (onlyVisible && !e.object->isVisible()) continue;
    if (e.object->testHit(x, y, ignoreAlpha)) found = e.object;
  }
  return found;
}

// --- background ---

void CRefreshScreen::setBackground(std::unique_ptr<CDirectDrawSurface> surface) {
  if (surface && surface->GetRealBpp() != screenBpp_) surface->Convert(screenBpp_);
  background_->surface = std::move(surface);
  background_->mode = kNoScroll;
  if (CDirectDrawSurface* s = background_->surface.get()) {
    bool wider = s->Width() > Width(), taller = s->Height() > Height();
    background_->mode = wider && taller              ? kBoth
                        : s->Height() == Height()    ? kHorizontal
                        : s->Width() == Width()      ? kVertical
                                                     : kNoScroll;
  }
  Invalidate();
}

void CRefreshScreen::SetBackground(CGraphicsObject* object) {
  if (!object || !object->GetDataPtr()) {
    SetBackground(static_cast<const CColor*>(nullptr));
    return;
  }
  auto surface = std::make_unique<CDirectDrawSurface>(object->Size(), screenBpp_);
  if (object->GetRealBpp() != screenBpp_) object->Convert(screenBpp_);
  _canvas src;
  src.pixels = object->GetDataPtr();
  src.alpha = object->GetAlphaPtr();
  src.bpp = object->GetRealBpp();
  src.width = object->GetPitch();
  src.height = object->Height();
  _canvas dst;
  dst.pixels = surface->GetDataPtr();
  dst.bpp = surface->GetRealBpp();
  dst.width = surface->GetPitch();
  dst.height = surface->Height();
  if (src.alpha) tarnvik::canvas::copyAlpha(src, dst);
  else tarnvik::canvas::copyPlain(src, dst);
  surface->applyToRestore(object);
  surface->SetPosition(object->GetPosition().x, object->GetPosition().y);
  setBackground(std::move(surface));
}

void CRefreshScreen::SetBackground(const CColor* color) {
  auto surface = std::make_unique<CDirectDrawSurface>(Size(), screenBpp_);
  CColor black(0, 0, 0);
  surface->Fill(color ? color : &black);
  setBackground(std::move(surface));
  background_->mode = kNoScroll;
}

bool CRefreshScreen::SetBackground(const CXString& fileName) {
  if (!imageLoader()) {
    TLOG_WARN("background " << fileName.view() << ": images cannot be loaded in this build");
    return false;
  }
  std::unique_ptr<CGraphicsObject> image = imageLoader()(fileName);
  if (!image || !image->GetDataPtr()) {
    TLOG_WARN("background " << fileName.view() << " could not be loaded");
    return false;
  }
  // The old picture goes before the new one is made, and an image that needs no composing becomes
  // the surface itself.
  background_->surface.reset();
  auto surface = std::make_unique<CDirectDrawSurface>(CXSize(), screenBpp_);
  if (image->GetRealBpp() != screenBpp_) image->Convert(screenBpp_);
  if (image->hasAlpha() || image->GetRealBpp() != screenBpp_ || !image->movePixelsTo(*surface)) {
    SetBackground(image.get());
    if (background_->surface) background_->surface->applyToRestore(nullptr);  // the image goes away now
    return true;
  }
  surface->SetPosition(image->GetPosition().x, image->GetPosition().y);
  setBackground(std::move(surface));
  return true;
}

CDirectDrawSurface* CRefreshScreen::getBackgroundIfc() const { return background_->surface.get(); }
int CRefreshScreen::getScrollMode() const { return background_->mode; }

bool CRefreshScreen::serializeState(CXArchive* archive) {
  CDirectDrawSurface* background = background_->surface.get();
  CXPoint place = background ? background->GetPosition() : CXPoint();
  int32_t x = place.x, y = place.y, mode = background_->mode, frames = frames_, flags = refreshFlags_;
  bool updated = initialUpdated_;
  if (!saved::fields(archive, updated, frames, flags, x, y, mode)) return false;
  // What the next frame recomposes (the whole screen after a scene's initial update).
  int32_t pending = static_cast<int32_t>(region_.rects().size());
  bool full = region_.isFullScreen();
  if (!saved::fields(archive, full, pending) || pending < 0 || pending > 4096) return false;
  std::vector<CXRect> rects = region_.rects();
  rects.resize(static_cast<size_t>(pending));
  for (CXRect& r : rects)
    if (!saved::fields(archive, r.left, r.top, r.right, r.bottom)) return false;
  if (archive->isStoring()) return true;
  pendingAfterLoad_ = full ? std::vector<CXRect>{CXRect(CXPoint(0, 0), Size())} : rects;
  frames_ = frames;
  refreshFlags_ = flags;
  if (background) background->SetPosition(x, y);
  background_->mode = mode;
  if (updated && !initialUpdated_) {
    initialUpdated_ = true;
    initialUpdate_ = nullptr;
  }
  Invalidate();
  return true;
}

void CRefreshScreen::composeRestored(CGraphicsObject* destination) {
  // The picture is made whole from the restored drawables, as the game never composed it: the
  // observers hear nothing and no frame is counted; the region the saved frame left is put back.
  bool notify = notify_;
  int frames = frames_;
  notify_ = false;
  Invalidate();
  compose(destination);
  notify_ = notify;
  frames_ = frames;
  clearRegion();
  for (CXRect& r : pendingAfterLoad_) Invalidate(&r);
  pendingAfterLoad_.clear();
}

// --- observers ---

void CRefreshScreen::addNotifier(CCanvasObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void CRefreshScreen::removeNotifier(CCanvasObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void CRefreshScreen::notify(int event) {
  // Observers run script code, which may add or remove observers.
  auto copy = observers_;
  for (CCanvasObserver* observer : copy)
    if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) observer->onCanvasEvent(event);
}
