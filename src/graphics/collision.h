// CCollisionInspector: watches the drawables scripts asked to monitor and tells its observers when a
// collision between two of them begins and ends. Ticked once per frame by the window.
#pragma once

#include <memory>
#include <vector>

#include "foundation/geometry.h"
#include "graphics/pixels/drawable_watcher.h"

class CGraphicsObject;

class CCollisionObserver {
 public:
  virtual ~CCollisionObserver() = default;
  virtual void onCollision(CGraphicsObject* a, CGraphicsObject* b) = 0;
  virtual void onCollisionFinished(CGraphicsObject* a, CGraphicsObject* b) = 0;
};

struct CMonitoredObject {
  CGraphicsObject* object = nullptr;
  bool alpha = false;
  bool moved = false;
  bool active = true;
  std::vector<CGraphicsObject*> collisions;
};

// Watches every drawable it keeps a record of, so a move or a destroyed drawable reaches it directly.
class CCollisionInspector : public CDrawableWatcher {
 public:
  enum Event { kBegins = 1, kEnds = 2 };

  CCollisionInspector() = default;
  ~CCollisionInspector() override;
  CCollisionInspector(const CCollisionInspector&) = delete;
  CCollisionInspector& operator=(const CCollisionInspector&) = delete;

  // Starts (or restarts) watching the object; with `alpha` collisions are confirmed on its partner's
  // alpha plane.
  void addMonitoredObject(CGraphicsObject* object, bool alpha);
  // Stops watching: the record goes inactive and is dropped at the next tick after it moves.
  void removeMonitoredObject(CGraphicsObject* object);
  // A drawable that is going away: its record and every pair with it are dropped at once.
  void forget(CGraphicsObject* object);
  // Called when a monitored drawable moved; only the first call in a tick counts.
  void onPositionChanged(CGraphicsObject* object);
  void onDrawableMoved(CGraphicsObject* object) override { onPositionChanged(object); }
  void onDrawableDestroyed(CGraphicsObject* object) override { forget(object); }
  void addNotifier(CCollisionObserver* observer);
  void removeNotifier(CCollisionObserver* observer);
  CMonitoredObject* find(const CGraphicsObject* object) const;
  // Once per frame: tests every moved record against the others and raises begin and end events.
  void tick();
  size_t size() const { return records_.size(); }

  // Whether one of eight points of a's rectangle (corners and edge middles) lies on an opaque pixel
  // of b. False when b has no alpha plane.
  static bool checkAlphaCollision(const CGraphicsObject* a, const CXRect& ra, const CGraphicsObject* b,
                                  const CXRect& rb);

 private:
  void notify(int event, CGraphicsObject* a, CGraphicsObject* b);

  std::vector<std::unique_ptr<CMonitoredObject>> records_;
  std::vector<CMonitoredObject*> moved_;
  std::vector<CCollisionObserver*> observers_;
};
