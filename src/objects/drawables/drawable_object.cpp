// The shared part of the script types that show one drawable.
#include "objects/drawables/drawable_object.h"

#include "files/state_fields.h"

#include "files/xarchive.h"
#include "graphics/pixels/graphics_object.h"
#include "graphics/refresh_screen.h"
#include "graphics/window.h"
#include "input/hotspot.h"
#include "objects/drawables/drawable_owner.h"
#include "runtime/objects_container.h"

namespace {

// The hot spot of a drawable used as a button: its shape while it is shown, its screen priority.
class CDrawableHotSpot final : public CHotSpot {
 public:
  explicit CDrawableHotSpot(CMC_DrawableObject* owner) : owner_(owner) {}
  CGraphicsObject* getGraphics() const override {
    CGraphicsObject* g = owner_->getDrawable();
    return g && g->isVisible() ? g : nullptr;
  }

 protected:
  void onEnter(const CXPoint&) override { owner_->focus(true); }
  int onLeave(const CXPoint&) override {
    owner_->focus(false);
    return 0;
  }
  void onPress(const CXPoint&) override { owner_->buttonEvent(CXString("LEFT"), true); }
  void onRelease(const CXPoint&) override { owner_->buttonEvent(CXString("LEFT"), false); }
  bool onOtherPress(int button, const CXPoint&) override {
    owner_->buttonEvent(CXString(button == 2 ? "RIGHT" : "MIDDLE"), true);
    return true;
  }
  bool onOtherRelease(int button, const CXPoint&) override {
    owner_->buttonEvent(CXString(button == 2 ? "RIGHT" : "MIDDLE"), false);
    return true;
  }
  void onReset() override { owner_->focus(false); }

 private:
  CMC_DrawableObject* owner_;
};

CCollisionInspector* inspector() {
  CWindow* window = CWindow::getCurrent();
  return window ? window->getCollisionInspector() : nullptr;
}

}  // namespace

CMC_DrawableObject::CMC_DrawableObject(CMC_ObjectsContainer* scope, CMElement* element, int type, EventIndexes events)
    : CMC_Object(scope, element, type), events_(events) {
  if (CCollisionInspector* collisions = inspector()) collisions->addNotifier(this);
}

CMC_DrawableObject::CMC_DrawableObject(CMC_ObjectsContainer* scope, const CXString& name, int type, EventIndexes events)
    : CMC_Object(name, type), events_(events) {
  setScene(scope);
  if (CCollisionInspector* collisions = inspector()) collisions->addNotifier(this);
}

CMC_DrawableObject::~CMC_DrawableObject() {
  hotSpot_.reset();
  if (CCollisionInspector* collisions = inspector()) collisions->removeNotifier(this);
  // The drawable leaves the screen and the collision inspector as it goes (its own destructor).
}

CRefreshScreen* CMC_DrawableObject::screen() {
  CWindow* window = CWindow::getCurrent();
  return window ? window->getRefreshScreen() : nullptr;
}

void CMC_DrawableObject::readCommonKeys(CMElement* element) {
  toCanvas_ = elementBool(element, "TOCANVAS");
  priority_ = elementInt(element, "PRIORITY");
  setAsButton(elementBool(element, "ASBUTTON"));
  flushAfterPlayed_ = elementBool(element, "FLUSHAFTERPLAYED");
}

void CMC_DrawableObject::placeFromElement(CMElement* element) {
  if (elementBool(element, "MONITORCOLLISIONALPHA")) monitorCollisions(true);
  else if (elementBool(element, "MONITORCOLLISION")) monitorCollisions(false);
  if (toCanvas_)
    if (CRefreshScreen* refresh = screen()) refresh->put(getDrawable(), priority_);
}

void CMC_DrawableObject::setAsButton(bool on) {
  asButton_ = on;
  if (on && !hotSpot_) hotSpot_ = std::make_unique<CDrawableHotSpot>(this);
  if (!on) {
    hotSpot_.reset();
    focused_ = false;
  }
}

bool CMC_DrawableObject::done(bool unloading) {
  hotSpot_.reset();
  CGraphicsObject* drawable = getDrawable();
  if (CDrawableCanvas* refresh = drawable->GetCanvas()) refresh->remove(drawable);
  if (monitoring_)
    if (CCollisionInspector* collisions = inspector()) collisions->forget(drawable);
  monitoring_ = false;
  return CMC_Object::done(unloading);
}

bool CMC_DrawableObject::serializeCommon(CXArchive* archive, CXString& file, bool& visible) {
  if (archive->isStoring()) {
    int32_t monitor = 0;
    if (monitoring_) {
      CMonitoredObject* record = inspector() ? inspector()->find(getDrawable()) : nullptr;
      monitor = record && record->alpha ? 2 : 1;
    }
    *archive << file << visible << toCanvas_ << priority_ << asButton_ << monitor << flushAfterPlayed_;
    return archive->isOk();
  }
  int32_t monitor = 0;
  *archive >> file >> visible >> toCanvas_ >> priority_ >> asButton_ >> monitor >> flushAfterPlayed_;
  if (!archive->isOk() || monitor < 0 || monitor > 2) return false;
  restoredMonitor_ = monitor;
  return true;
}

void CMC_DrawableObject::restorePlacement() {
  setAsButton(asButton_);
  if (restoredMonitor_) monitorCollisions(restoredMonitor_ == 2);
  if (toCanvas_)
    if (CRefreshScreen* refresh = screen()) refresh->put(getDrawable(), priority_);
}

void CMC_DrawableObject::copyDrawableState(CMC_DrawableObject& copy) const {
  copy.priority_ = priority_;
  copy.toCanvas_ = toCanvas_;
  copy.setAsButton(asButton_);
  copy.flushAfterPlayed_ = flushAfterPlayed_;
  CGraphicsObject* drawable = getDrawable();
  if (drawable->GetCanvas()) drawable->GetCanvas()->put(copy.getDrawable(), priority_);
  if (monitoring_)
    if (CMonitoredObject* record = inspector() ? inspector()->find(drawable) : nullptr)
      copy.monitorCollisions(record->alpha);
}

void CMC_DrawableObject::show(bool visible) { getDrawable()->Visible(visible); }

void CMC_DrawableObject::invalidate() {
  if (getDrawable()->isVisible()) getDrawable()->Invalidate();
}

void CMC_DrawableObject::setPosition(int x, int y) {
  invalidate();
  getDrawable()->SetPosition(x, y);
  invalidate();
}

void CMC_DrawableObject::moveDrawable(int dx, int dy) { getDrawable()->Move(dx, dy); }

void CMC_DrawableObject::move(int dx, int dy) {
  invalidate();
  moveDrawable(dx, dy);
  invalidate();
}

void CMC_DrawableObject::setPriority(int priority) {
  priority_ = priority;
  CGraphicsObject* drawable = getDrawable();
  CDrawableCanvas* refresh = drawable->GetCanvas() ? drawable->GetCanvas() : screen();
  if (!refresh) return;
  if (refresh->contains(drawable)) refresh->SetPriority(drawable, priority);
  else refresh->put(drawable, priority);
}

int CMC_DrawableObject::getPriority() const {
  CDrawableCanvas* refresh = getDrawable()->GetCanvas();
  return refresh ? refresh->GetPriority(getDrawable()) : -1;
}

void CMC_DrawableObject::monitorCollisions(bool alpha) {
  CCollisionInspector* collisions = inspector();
  if (!collisions) return;
  collisions->addMonitoredObject(getDrawable(), alpha);
  if (CMonitoredObject* record = collisions->find(getDrawable())) record->alpha = alpha;
  monitoring_ = true;
}

void CMC_DrawableObject::stopMonitoringCollisions() {
  if (CCollisionInspector* collisions = inspector()) collisions->removeMonitoredObject(getDrawable());
}

void CMC_DrawableObject::onMouseMove(int x, int y) {
  if (!asButton_) return;
  bool on = getDrawable()->isVisible() && getDrawable()->testHit(x, y);
  if (on == focused_) return;
  focused_ = on;
  if (hasHandlerFlag(on ? events_.focusOn : events_.focusOff)) onSignal(CXString(on ? "ONFOCUSON" : "ONFOCUSOFF"));
}

void CMC_DrawableObject::onMouseButton(const CXString& button, bool pressed, int x, int y) {
  if (!asButton_ || !getDrawable()->isVisible() || !getDrawable()->testHit(x, y)) return;
  if (pressed) fireEvent(events_.click, "ONCLICK", button);
  else fireEvent(events_.release, "ONRELEASE", button);
}

void CMC_DrawableObject::focus(bool on) {
  if (on == focused_) return;
  focused_ = on;
  if (hasHandlerFlag(on ? events_.focusOn : events_.focusOff)) onSignal(CXString(on ? "ONFOCUSON" : "ONFOCUSOFF"));
}

void CMC_DrawableObject::buttonEvent(const CXString& button, bool pressed) {
  if (pressed) fireEvent(events_.click, "ONCLICK", button);
  else fireEvent(events_.release, "ONRELEASE", button);
}

void CMC_DrawableObject::collisionEvent(int index, const char* event, CGraphicsObject* a, CGraphicsObject* b) {
  CGraphicsObject* mine = getDrawable();
  CGraphicsObject* other = a == mine ? b : b == mine ? a : nullptr;
  if (!other || !hasHandlerFlag(index)) return;
  CMC_Object* owner = tarnvik::findDrawableOwner(getScene(), other);
  fireEvent(index, event, owner ? owner->getName() : CXString());
}

void CMC_DrawableObject::onCollision(CGraphicsObject* a, CGraphicsObject* b) {
  collisionEvent(events_.collision, "ONCOLLISION", a, b);
}

void CMC_DrawableObject::onCollisionFinished(CGraphicsObject* a, CGraphicsObject* b) {
  collisionEvent(events_.collisionFinished, "ONCOLLISIONFINISHED", a, b);
}

bool CMC_DrawableObject::serializeState(CXArchive* archive) {
  CGraphicsObject* d = getDrawable();
  CXPoint anchor = d->getAnchor(), at = d->GetPosition();
  int32_t ax = anchor.x, ay = anchor.y, x = at.x, y = at.y, opacity = d->GetOpacity(), shown = getPriority();
  int32_t priority = priority_;
  bool visible = d->isVisible(), autoClip = d->isAutoClip(), button = asButton_, focused = focused_, monitoring = monitoring_;
  CXRect clip = d->GetClippingRect();
  int32_t cl = clip.left, ct = clip.top, cr = clip.right, cb = clip.bottom;
  bool alpha = false;
  if (CMonitoredObject* record = monitoring_ && inspector() ? inspector()->find(d) : nullptr) alpha = record->alpha;
  if (!saved::fields(archive, ax, ay, x, y, opacity, shown, priority, visible, autoClip, button, focused, monitoring,
                     alpha, cl, ct, cr, cb))
    return false;
  if (archive->isStoring()) return serializeCollisions(archive);
  invalidate();
  d->setAnchor(ax, ay);
  d->CGraphicsObject::SetPosition(x + ax, y + ay);
  d->SetOpacity(opacity);
  d->SetClippingRect(CXRect(cl, ct, cr, cb));
  d->SetAutoClip(autoClip);
  d->Visible(visible);
  priority_ = priority;
  CDrawableCanvas* refresh = d->GetCanvas();
  if (shown < 0 && refresh) refresh->remove(d);
  if (shown >= 0 && getPriority() != shown) setPriority(shown);
  priority_ = priority;
  setAsButton(button);
  focused_ = focused;
  if (monitoring && !monitoring_) monitorCollisions(alpha);
  if (!monitoring && monitoring_) {
    stopMonitoringCollisions();
    monitoring_ = false;
  }
  invalidate();
  return serializeCollisions(archive);
}

bool CMC_DrawableObject::serializeCollisions(CXArchive* archive) {
  CMonitoredObject* record = monitoring_ && inspector() ? inspector()->find(getDrawable()) : nullptr;
  CMC_ObjectsContainer* scope = getScene();
  bool moved = record && record->moved, active = !record || record->active;
  std::vector<CXString> partners;
  if (record && scope)
    for (CGraphicsObject* other : record->collisions) partners.push_back(scope->getGraphicsObjectName(other, true));
  int32_t count = static_cast<int32_t>(partners.size());
  if (!saved::fields(archive, moved, active, count) || count < 0 || count > 100000) return false;
  partners.resize(static_cast<size_t>(count));
  for (CXString& name : partners)
    if (!saved::fields(archive, name)) return false;
  if (archive->isStoring() || !record) return true;
  record->moved = moved;
  record->active = active;
  record->collisions.clear();
  for (const CXString& name : partners)
    if (CGraphicsObject* other = scope ? scope->getGraphicsObject(name) : nullptr) record->collisions.push_back(other);
  return true;
}
