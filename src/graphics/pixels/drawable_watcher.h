// CDrawableWatcher: what keeps a record of a drawable (collisions, the screen) and must hear when it
// moves or goes away. CDrawableCanvas: the screen a drawable is put on, which takes its dirty areas.
#pragma once

#include "foundation/geometry.h"

class CGraphicsObject;

class CDrawableWatcher {
 public:
  virtual ~CDrawableWatcher() = default;
  // The drawable's position changed.
  virtual void onDrawableMoved(CGraphicsObject* /*object*/) {}
  // The drawable is being destroyed: drop every record of it (it must not be used any more).
  virtual void onDrawableDestroyed(CGraphicsObject* object) = 0;
};

// The drawable knows at most one canvas; it is told before every other watcher when the drawable goes.
class CDrawableCanvas : public CDrawableWatcher {
 public:
  // Adds the object (when not yet present) with the priority and invalidates its area.
  virtual void put(CGraphicsObject* object, int priority) = 0;
  // Removes the object and invalidates the area it covered.
  virtual void remove(CGraphicsObject* object) = 0;
  // Removes the object without invalidating.
  virtual void release(CGraphicsObject* object) = 0;
  virtual bool contains(const CGraphicsObject* object) const = 0;
  virtual void SetPriority(CGraphicsObject* object, int priority) = 0;
  // -1 when the object is not on this canvas.
  virtual int GetPriority(const CGraphicsObject* object) const = 0;
  // A drawable on this canvas changed the area (screen coordinates).
  virtual void invalidateArea(const CXRect& area) = 0;
  // A drawable on this canvas changed itself (its picture, place or visibility) within the box. The
  // canvas may then recompose only where the drawable was drawn and will be drawn.
  virtual void invalidateDrawable(const CXRect& box) { invalidateArea(box); }
};
