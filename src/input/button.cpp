// Buttons: the state graphics, sounds, drag and the notifications.
#include "input/button.h"

#include "graphics/pixels/graphics_object.h"

void CButton::setGraphic(Graphic which, CButtonGraphic graphic) {
  graphics_[which] = std::move(graphic);
}

CGraphicsObject* CButton::getGraphics() const {
  if (CGraphicsObject* accent = accent_.get()) return accent;
  if (CGraphicsObject* standard = graphics_[kStandard].get()) return standard;
  if (CGraphicsObject* hover = graphics_[kOnMove].get()) return hover;
  return graphics_[kOnClick].get();
}

void CButton::show(Graphic which, bool visible) {
  CGraphicsObject* g = graphics_[which].get();
  if (g && g->isVisible() != visible) g->Visible(visible);
}

void CButton::sound(Sound which, bool play) {
  if (!sounds_[which]) return;
  if (play && soundLocked_) return;
  sounds_[which](play);
}

void CButton::syncVisibility() {
  bool hasHover = graphics_[kOnMove].get() != nullptr, hasClick = graphics_[kOnClick].get() != nullptr;
  if (!enabled_) {
    show(kOnMove, false);
    show(kOnClick, false);
    show(kStandard, visibleWhileDisabled_);
    return;
  }
  bool pressedLook = forced_ && hasClick;
  bool hoverLook = hovered_ && hasHover && !pressedLook;
  show(kOnClick, pressedLook);
  show(kOnMove, hoverLook);
  // The standard graphic stays under the others unless asked to hide while hovered.
  bool standard = !((hoverLook || pressedLook) && hideStandard_);
  if (pressedLook && !hasHover && hideStandard_) standard = false;
  show(kStandard, standard);
}

void CButton::Enable(bool enabled) {
  enabled_ = enabled;
  visibleWhileDisabled_ = false;
  CHotSpot::Enable(enabled);
  if (!enabled) {
    forced_ = false;
    hovered_ = false;
    pressed_ = false;
    dragging_ = false;
  }
  syncVisibility();
}

void CButton::DisableButVisible() {
  Enable(false);
  visibleWhileDisabled_ = true;
  syncVisibility();
}

void CButton::Force(bool forced) {
  forced_ = forced;
  if (!frozen_) syncVisibility();
}

void CButton::onEnter(const CXPoint& point) {
  if (!enabled_ || dragging_) return;
  if (!frozen_) syncVisibility();
  sound(kSoundOnMove, true);
  if (notifier_) notifier_->onControlFocusOn(this, point);
}

int CButton::onLeave(const CXPoint& point) {
  if (!enabled_ || dragging_) return 0;
  Force(false);
  sound(kSoundOnMove, false);
  if (notifier_) notifier_->onControlFocusOff(this, point);
  return 0;
}

void CButton::onPress(const CXPoint& point) {
  if (!enabled_) return;
  Force(true);
  sound(kSoundOnClick, true);
  lastClick_ = dragFrom_ = point;
  if (notifier_) notifier_->onControlClicked(this, point);
}

void CButton::onRelease(const CXPoint& point) {
  if (!enabled_) return;
  if (dragging_) {
    onReleaseOutside(point);
    return;
  }
  Force(false);
  std::weak_ptr<char> life = life_;
  if (notifier_) notifier_->onControlReleased(this, point);
  if (!life.expired() && notifier_) notifier_->onControlAction(this, point);
}

void CButton::onReleaseOutside(const CXPoint& point) {
  Force(false);
  if (!dragging_) return;
  dragging_ = false;
  if (notifier_) notifier_->onEndDragging(this, point);
  // Static: cleared even when the handler deleted the button.
  CHotSpot::setDraggedName({});
}

bool CButton::onOtherPress(int button, const CXPoint& point) {
  if (!enabled_ || button != 2) return false;
  if (notifier_) notifier_->onControlRightClick(this, point);
  return false;
}

bool CButton::onHeldMove(const CXPoint& point) {
  if (!enabled_ || !draggable_) return false;
  if (!dragging_) {
    if (point.x == dragFrom_.x && point.y == dragFrom_.y) return true;
    dragging_ = true;
    std::weak_ptr<char> life = life_;
    if (notifier_) notifier_->onStartDragging(this, point);
    if (life.expired()) return true;
  }
  CXPoint delta(point.x - dragFrom_.x, point.y - dragFrom_.y);
  dragFrom_ = point;
  if (notifier_) notifier_->onDragging(this, point, delta);
  return true;
}

void CButton::onReset() {
  dragging_ = false;
  forced_ = false;
  syncVisibility();
}
