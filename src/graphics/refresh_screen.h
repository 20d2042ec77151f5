// CRefreshScreen: the refresh manager. Keeps the drawables of the running scene in priority order,
// collects dirty areas, and composes each frame: the background, then every visible drawable clipped
// to the dirty areas, into the back buffer.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "graphics/pixels/graphics_object.h"
#include "graphics/refresh_region.h"

class CColor;
class CXArchive;
class CDirectDrawSurface;
class CSurface;
class CWindow;

// Told of the refresh manager's events (the script type CANVAS_OBSERVER builds on this).
class CCanvasObserver {
 public:
  enum Event {
    kBeforeInitialUpdate = 0,  // before the scene's initial update
    kFrameStarted = 1,         // a frame with drawables starts
    kFrameComposed = 2,        // after a frame that had dirty areas
    kFocusOn = 3,
    kFocusOff = 4,
    kInitialUpdateDone = 5,    // after the frame that ran the initial update
  };
  virtual ~CCanvasObserver() = default;
  virtual void onCanvasEvent(int event) = 0;
};

// One drawable in the refresh order.
struct CValidationElement {
  CGraphicsObject* object = nullptr;
  int priority = 0;
  int flags = 0;
  bool draw = true;
  bool mark = false;  // drawn whole in the current frame
  // Where the drawable was last drawn whole: its box, the part of the screen its draw could reach,
  // and the spans of its picture's rows then. Unknown until drawn whole once on this screen.
  struct Footprint {
    bool known = false;
    CXRect box, reach;
    std::shared_ptr<const std::vector<RowSpan>> rows;
  } footprint;
};

// The drawables sorted by priority; equal priorities keep their insertion order.
class CValidationQuene {
 public:
  // Inserts after every element of the same or lower priority.
  void insert(CGraphicsObject* object, int priority, int flags = 0);
  // Index of the object, -1 when absent.
  int find(const CGraphicsObject* object) const;
  bool remove(const CGraphicsObject* object);
  void removeAll() {
    items_.clear();
    ++generation_;
  }
  void clearMarks();
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  CValidationElement& at(size_t i) { return items_[i]; }
  const CValidationElement& at(size_t i) const { return items_[i]; }
  // Changes with every insertion and removal: places in the order taken before stay valid while it
  // stays the same.
  uint64_t generation() const { return generation_; }

 private:
  std::vector<CValidationElement> items_;
  uint64_t generation_ = 0;
};

class CRefreshScreen : public CGraphicsObject, public CDrawableCanvas {
 public:
  enum RefreshFlags { kGrey = 2 };
  // Scroll modes of the background.
  enum ScrollMode { kNoScroll = 0, kHorizontal = 1, kVertical = 2, kBoth = 3 };

  // Loads a named image for SetBackground(name); filled in by the image layer at start.
  using ImageLoader = std::function<std::unique_ptr<CGraphicsObject>(const CXString& name)>;
  static void setImageLoader(ImageLoader loader);

  CRefreshScreen(const CXSize& screen, int bpp);
  ~CRefreshScreen() override;

  // --- the drawables ---
  // Adds the object (when not yet present) with the priority and invalidates its area.
  void put(CGraphicsObject* object, int priority) override;
  CRefreshScreen& operator<<(CGraphicsObject* object) {
    put(object, 0);
    return *this;
  }
  // Removes the object without invalidating.
  CRefreshScreen& operator>>(CGraphicsObject* object) {
    release(object);
    return *this;
  }
  void release(CGraphicsObject* object) override;
  // Removes the object and invalidates the area it covered (for drawables that leave the screen).
  void remove(CGraphicsObject* object) override;
  // A drawable being destroyed while registered: the area it covered is recomposed.
  void onDrawableDestroyed(CGraphicsObject* object) override;
  bool contains(const CGraphicsObject* object) const override { return queue_.find(object) >= 0; }
  void SetPriority(CGraphicsObject* object, int priority) override;
  int GetPriority(const CGraphicsObject* object) const override;
  int GetFlags(const CGraphicsObject* object) const;
  // With no object: the refresh flags (kGrey).
  void SetFlags(CGraphicsObject* object, int flags);
  int getRefreshFlags() const { return refreshFlags_; }
  int getIndex(const CGraphicsObject* object) const { return queue_.find(object); }
  size_t count() const { return queue_.size(); }
  void Empty() {
    queue_.removeAll();
    noteAreaInvalidated();
  }
  // Shows or hides every registered drawable.
  void setAllVisible(bool visible);

  // --- dirty areas ---
  // The object's bounding box, when it is visible and registered.
  void Invalidate(CGraphicsObject* object);
  // Nothing means the whole screen; otherwise the area cut to the screen.
  void Invalidate(const CXRect* area) override;
  void Invalidate() override { Invalidate(static_cast<const CXRect*>(nullptr)); }
  void invalidateArea(const CXRect& area) override { Invalidate(&area); }
  void invalidateDrawable(const CXRect& box) override;
  const CRefreshRegion& region() const { return region_; }
  // What was invalidated after a frame took its dirty areas (by observers of its start or of its
  // end) is not in that frame: it stays for the next one.
  void clearRegion();

  // --- composition ---
  using CGraphicsObject::Redraw;
  // Composes the dirty areas into the destination. Runs the scene's initial update first when it
  // is due (`ranInitialUpdate` tells). True when something was composed.
  bool Redraw(CGraphicsObject* destination, CSurface* display, bool& ranInitialUpdate);
  // A new scene: its initial update runs before the next frame (the function may be empty).
  void requestInitialUpdate(std::function<void()> update = {});
  bool wasInitiallyUpdated() const { return initialUpdated_; }
  int getFrameCount() const { return frames_; }

  // The topmost drawable at the point within the priority bounds (negative = no bound), or null.
  CGraphicsObject* getGraphicsAt(int x, int y, bool onlyVisible = true, int lowestPriority = -1,
                                 int highestPriority = -1, bool ignoreAlpha = false) const;

  // --- background ---
  void SetBackground(CGraphicsObject* object);
  void SetBackground(const CColor* color);
  // Loads the named image through the image loader; false (background unchanged) when it cannot.
  bool SetBackground(const CXString& fileName);
  void setBackground(std::unique_ptr<CDirectDrawSurface> surface);
  CDirectDrawSurface* getBackgroundIfc() const;
  int getScrollMode() const;

  // --- saves of the running game ---
  // Whether the scene's initial update ran, the frames composed, the refresh flags and the
  // background's place and scroll mode. A save taken after the initial update does not run it again
  // (the screen is composed in full on the next frame all the same).
  bool serializeState(CXArchive* archive);
  // After a load: composes the whole picture into `destination` without telling the observers or
  // counting a frame, and leaves the region the saved frame had left for the next frame.
  void composeRestored(CGraphicsObject* destination);

  // --- observers and focus ---
  void addNotifier(CCanvasObserver* observer);
  void removeNotifier(CCanvasObserver* observer);
  void enableNotifyFlag(bool on) { notify_ = on; }
  bool isNotifyEnabled() const { return notify_; }
  void notify(int event);
  void onFocusOn() {
    if (notify_) notify(CCanvasObserver::kFocusOn);
  }
  void onFocusOff() {
    if (notify_) notify(CCanvasObserver::kFocusOff);
  }
  // While paused (window inactive) no frame is composed.
  void pause() { paused_ = true; }
  void resume() { paused_ = false; }
  bool isPaused() const { return paused_; }

 private:
  class CBackgroundManager;
  // A part of the screen that a drawable surely overwrites with its own pixels later in the frame.
  struct Cover {
    size_t index;  // the drawable's place in the order
    CXRect area;
  };
  bool compose(CGraphicsObject* destination);
  // The dirty rectangles cut to the screen (the whole screen in full-screen mode), those that share
  // a whole edge joined, into `areas`.
  void dirtyAreas(const CXRect& screen, std::vector<CXRect>& areas) const;
  // Reads (and clears) the invalidated flags of the visible drawables, finds the drawables the frame
  // draws and those that changed, and the covers.
  void prepareLayers(CGraphicsObject* destination, const std::vector<CXRect>& areas);
  // Records where each changed drawable is drawn now and, when only drawables changed, gathers per
  // screen row the columns they were and will be drawn in: the window outside which no pixel can
  // differ from the last frame. False when the frame must recompose its areas whole.
  bool prepareWindow(const CGraphicsObject& destination);
  void noteAreaInvalidated();
  // Adds the area cut to the screen (null: the whole screen) to the dirty region.
  void addDirty(const CXRect* area);
  // After observers of the frame's start changed the order: the layers anew, no covers.
  void redoLayersAfterReorder();
  // Adds the columns of each row the footprint covers to the window.
  void widenWindow(const CValidationElement::Footprint& footprint);
  // What is left of the area once the covers of drawables from index `above` up are taken out:
  // disjoint pieces whose union holds every pixel no cover hides.
  void uncovered(const CXRect& area, size_t above, std::vector<CXRect>& pieces);
  void drawClipped(CGraphicsObject* object, CGraphicsObject* destination, const CXRect& screenPart,
                   CValidationElement& element, size_t index);
  void toGrey(CGraphicsObject* destination);

  CValidationQuene queue_;
  CRefreshRegion region_;
  std::unique_ptr<CBackgroundManager> background_;
  int screenBpp_;
  int refreshFlags_ = 0;
  bool notify_ = false;
  bool paused_ = false;
  bool initialUpdated_ = true;
  std::function<void()> initialUpdate_;
  int frames_ = 0;
  std::vector<CCanvasObserver*> observers_;
  std::vector<CXRect> pendingAfterLoad_;  // read by serializeState, put back by composeRestored
  // The frame being composed, in drawing order: the visible drawables it draws (with their
  // invalidated flags), the drawables that changed since the last frame, and the covers.
  struct Layer {
    size_t index;
    bool invalidated;  // drawn on the whole screen
  };
  std::vector<Layer> layers_;
  std::vector<size_t> changed_;
  std::vector<Cover> covers_;
  // Kept between frames: no allocation per frame or per draw.
  std::vector<CXRect> areas_, shown_, pieces_, spare_;
  // Set when an area was invalidated other than by a drawable changing itself (see prepareWindow).
  bool areaInvalidated_ = false;
  bool composing_ = false;
  // From the moment a frame takes its dirty areas until the region is cleared after it, invalidations
  // also go here, to survive that clearing.
  bool areasTaken_ = false;
  CRefreshRegion late_;
  bool lateAreaInvalidated_ = false;
  // An empty row of the window: the columns of every span lie between its ends, and a copy's own
  // columns (within kMaxSide) taken from them stay far from overflowing.
  static constexpr RowSpan kNoColumns{1 << 29, -(1 << 29)};
  std::vector<RowSpan> window_;  // per screen row, while a frame is composed
  int32_t windowTop_ = 0, windowBottom_ = 0;  // the rows of window_ that are not empty
};
