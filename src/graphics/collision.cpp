// Collision monitoring between drawables.
#include "graphics/collision.h"

#include <algorithm>

#include "graphics/pixels/graphics_object.h"

namespace {
template <typename T>
void eraseValue(std::vector<T>& v, const T& value) {
  v.erase(std::remove(v.begin(), v.end(), value), v.end());
}
template <typename T>
bool containsValue(const std::vector<T>& v, const T& value) {
  return std::find(v.begin(), v.end(), value) != v.end();
}
}  // namespace

CMonitoredObject* CCollisionInspector::find(const CGraphicsObject* object) const {
  for (const auto& r : records_)
    if (r->object == object) return r.get();
  return nullptr;
}

CCollisionInspector::~CCollisionInspector() {
  for (const auto& r : records_) r->object->removeWatcher(this);
}

void CCollisionInspector::addMonitoredObject(CGraphicsObject* object, bool alpha) {
  if (!object) return;
  object->addWatcher(this);
  if (CMonitoredObject* r = find(object)) {
    r->active = true;
    return;
  }
  auto record = std::make_unique<CMonitoredObject>();
  record->object = object;
  record->alpha = alpha;
  record->collisions.reserve(5);
  records_.push_back(std::move(record));
}

void CCollisionInspector::removeMonitoredObject(CGraphicsObject* object) {
  if (CMonitoredObject* r = find(object)) r->active = false;
}

void CCollisionInspector::forget(CGraphicsObject* object) {
  CMonitoredObject* r = find(object);
  if (!r) return;
  object->removeWatcher(this);
  eraseValue(moved_, r);
  for (const auto& other : records_) eraseValue(other->collisions, object);
  records_.erase(std::remove_if(records_.begin(), records_.end(), [r](const auto& p) { return p.get() == r; }),
                 records_.end());
}

void CCollisionInspector::onPositionChanged(CGraphicsObject* object) {
  CMonitoredObject* r = find(object);
  if (!r || r->moved) return;
  r->moved = true;
  moved_.push_back(r);
}

void CCollisionInspector::addNotifier(CCollisionObserver* observer) {
  if (observer && !containsValue(observers_, observer)) observers_.push_back(observer);
}

void CCollisionInspector::removeNotifier(CCollisionObserver* observer) { eraseValue(observers_, observer); }

void CCollisionInspector::notify(int event, CGraphicsObject* a, CGraphicsObject* b) {
  auto copy = observers_;
  for (CCollisionObserver* observer : copy) {
    if (!containsValue(observers_, observer)) continue;
    if (event == kBegins) observer->onCollision(a, b);
    else observer->onCollisionFinished(a, b);
  }
}

void CCollisionInspector::tick() {
  // Observers run script code that may move, add, stop or destroy monitored objects: work on the
  // list of moved records taken now, and check each record is still there before using it.
  std::vector<CMonitoredObject*> moved;
  moved.swap(moved_);
  auto alive = [this](CMonitoredObject* r) {
    return std::any_of(records_.begin(), records_.end(), [r](const auto& p) { return p.get() == r; });
  };
  for (CMonitoredObject* m : moved) {
    if (!alive(m) || !m->active) continue;
    m->moved = false;
    std::vector<CMonitoredObject*> others;
    for (const auto& o : records_) others.push_back(o.get());
    for (CMonitoredObject* o : others) {
      if (!alive(m) || !alive(o) || o == m || !o->active || o->object == m->object) continue;
      CXRect rm = m->object->GetBoundingBox(), ro = o->object->GetBoundingBox();
      bool hit = rm.intersects(ro) && (!m->alpha || checkAlphaCollision(m->object, rm, o->object, ro));
      bool was = containsValue(m->collisions, o->object);
      if (hit == was) continue;
      CGraphicsObject* a = m->object;
      CGraphicsObject* b = o->object;
      if (hit) {
        if (!containsValue(m->collisions, b)) m->collisions.push_back(b);
        if (!containsValue(o->collisions, a)) o->collisions.push_back(a);
        notify(kBegins, a, b);
      } else {
        eraseValue(m->collisions, b);
        eraseValue(o->collisions, a);
        notify(kEnds, a, b);
      }
    }
  }
  // Inactive records that moved are dropped, and so are the pairs others still hold with them.
  for (CMonitoredObject* m : moved) {
    if (!alive(m) || m->active) continue;
    m->moved = false;
    forget(m->object);
  }
}

bool CCollisionInspector::checkAlphaCollision(const CGraphicsObject* a, const CXRect& ra, const CGraphicsObject* b,
                                              const CXRect& rb) {
  (void)a;
  if (!b || !b->hasAlpha() || !b->pixels()) return false;
  const int l = ra.left, t = ra.top, w = ra.width(), h = ra.height();
  const CXPoint points[8] = {{l, t},
                             {l + w / 2, t},
                             {l + w - 1, t},
                             {l + w - 1, t + h / 2},
                             {l + w - 1, t + h - 1},
                             {l + w / 2, t + h - 1},
                             {l, t + h - 1},
                             {l, t + h / 2}};
  for (const CXPoint& p : points)
    if (rb.contains(p) && b->GetAlpha(p.x - rb.left, p.y - rb.top) != 0) return true;
  return false;
}
