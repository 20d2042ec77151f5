// Hot spots: clickable regions of the screen (rectangles or drawables) that the input dispatch asks
// first about every mouse event; the highest-priority enabled one under the pointer takes it.
#pragma once

#include <climits>
#include <string>
#include <vector>

#include "foundation/geometry.h"

class CGraphicsObject;
class CXArchive;

class CHotSpot {
 public:
  CHotSpot();
  virtual ~CHotSpot();
  CHotSpot(const CHotSpot&) = delete;
  CHotSpot& operator=(const CHotSpot&) = delete;

  // The hit area: the rectangle when it is not empty, otherwise the attached drawable's own shape.
  void SetActiveRect(const CXRect& rect) { rect_ = rect; }
  const CXRect& getActiveRect() const { return rect_; }
  void Set(CGraphicsObject* graphics) { graphics_ = graphics; }
  // Run-time state for saves of the running game: hover, press, area, priority, switches.
  virtual bool serializeState(CXArchive* archive);
  virtual CGraphicsObject* getGraphics() const { return graphics_; }
  bool TestHit(const CXPoint& point) const;
  // Test the attached drawable by its bounding box only (its rectangle stands for the hot spot).
  void setIgnoreAlpha(bool on) { ignoreAlpha_ = on; }
  void Enable(bool enabled) { enabled_ = enabled; }
  bool isEnabled() const { return enabled_; }
  // The drawable's priority on the screen when one is attached and shown there, else the explicit one.
  void setPriority(int priority) { priority_ = priority; }
  int getPriority() const;
  bool isHovered() const { return hovered_; }
  bool isPressed() const { return pressed_; }
  void setCursorEnabled(bool on) { cursor_ = on; }
  bool isCursorEnabled() const { return cursor_; }

  // The process-wide list (in registration order) and the priority window.
  static const std::vector<CHotSpot*>& all();
  static void setMinPriority(int p) { minPriority_ = p; }
  static void setMaxPriority(int p) { maxPriority_ = p; }
  static int getMinPriority() { return minPriority_; }
  static int getMaxPriority() { return maxPriority_; }
  // Back to the whole range (a new scene).
  static void resetPriorityWindow() {
    minPriority_ = INT_MIN;
    maxPriority_ = INT_MAX;
  }
  // The enabled hot spot under the point with the highest priority inside the window; among
  // equals the first registered. Null when none.
  static CHotSpot* findAt(const CXPoint& point);

  // Dispatch from the input layer; each returns true when a hot spot took the event.
  static bool dispatchMove(const CXPoint& point, bool leftDown);
  static bool dispatchPress(int button, const CXPoint& point);
  static bool dispatchRelease(int button, const CXPoint& point);
  // Forgets hover and press everywhere without events (the window lost focus, the scene unloads).
  static void resetAll();

  // The name of what a button is dragging, for the scene's GETDRAGGEDNAME; empty when nothing.
  static const std::string& draggedName() { return dragged_; }
  static void setDraggedName(const std::string& name) { dragged_ = name; }

 protected:
  // Handlers; a positive result from leave ends the walk of the leaving hot spots.
  virtual int onLeave(const CXPoint&) { return 0; }
  virtual void onEnter(const CXPoint&) {}
  virtual void onMove(const CXPoint&) {}
  virtual void onPress(const CXPoint&) {}
  virtual void onRelease(const CXPoint&) {}
  // The left button went up elsewhere after a press on this hot spot.
  virtual void onReleaseOutside(const CXPoint&) {}
  // Right or middle press and their releases: true when the hot spot used the event.
  virtual bool onOtherPress(int /*button*/, const CXPoint&) { return false; }
  virtual bool onOtherRelease(int /*button*/, const CXPoint&) { return false; }
  // Pointer moves while this hot spot holds the left button: true when it took the move (dragging).
  virtual bool onHeldMove(const CXPoint&) { return false; }
  // Hover and press forgotten without events.
  virtual void onReset() {}
  bool inWindow() const;
  static bool offerOther(int button, bool down, const CXPoint& point);

  bool hovered_ = false;
  bool pressed_ = false;

 private:
  CXRect rect_;
  CGraphicsObject* graphics_ = nullptr;
  int priority_ = 0;
  bool enabled_ = true;
  bool cursor_ = true;
  bool ignoreAlpha_ = false;
  static int minPriority_, maxPriority_;
  static std::string dragged_;
};
