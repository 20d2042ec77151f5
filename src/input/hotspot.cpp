// Hot spots: hit tests, the priority rule and the dispatch of moves, presses and releases.
#include "input/hotspot.h"

#include <algorithm>

#include "graphics/pixels/graphics_object.h"
#include "graphics/refresh_screen.h"
#include "input/input_manager.h"

int CHotSpot::minPriority_ = INT_MIN;
int CHotSpot::maxPriority_ = INT_MAX;
std::string CHotSpot::dragged_;

namespace {

std::vector<CHotSpot*>& registry() {
  static std::vector<CHotSpot*> list;
  return list;
}

// Hot spots may go (their objects destroyed) while handlers run: check before every call.
bool alive(const CHotSpot* spot) {
  const auto& list = registry();
  return std::find(list.begin(), list.end(), spot) != list.end();
}

}  // namespace

CHotSpot::CHotSpot() { registry().push_back(this); }

CHotSpot::~CHotSpot() {
  auto& list = registry();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<CHotSpot*>& CHotSpot::all() { return registry(); }

bool CHotSpot::TestHit(const CXPoint& point) const {
  if (!rect_.isEmpty()) return rect_.contains(point);
  CGraphicsObject* graphics = getGraphics();
  return graphics && graphics->testHit(point.x, point.y, ignoreAlpha_);
}

int CHotSpot::getPriority() const {
  CGraphicsObject* graphics = getGraphics();
  if (graphics && graphics->GetCanvas()) return graphics->GetCanvas()->GetPriority(graphics);
  return priority_;
}

bool CHotSpot::inWindow() const {
  int p = getPriority();
  return p >= minPriority_ && p <= maxPriority_;
}

CHotSpot* CHotSpot::findAt(const CXPoint& point) {
  CHotSpot* best = nullptr;
  int bestPriority = 0;
  for (CHotSpot* spot : registry()) {
    if (!spot->enabled_ || !spot->inWindow() || !spot->TestHit(point)) continue;
    int p = spot->getPriority();
    if (!best || p > bestPriority) {
      best = spot;
      bestPriority = p;
    }
  }
  return best;
}

bool CHotSpot::dispatchMove(const CXPoint& point, bool leftDown) {
  // A hot spot that holds the button and drags takes every move.
  if (leftDown) {
    auto snapshot = registry();
    for (CHotSpot* spot : snapshot)
      if (alive(spot) && spot->pressed_ && spot->onHeldMove(point)) return true;
  }
  // Leaving: hovered hot spots the point is no longer on.
  auto snapshot = registry();
  for (CHotSpot* spot : snapshot) {
    if (!alive(spot) || !spot->hovered_ || !spot->enabled_ || !spot->inWindow() || spot->TestHit(point)) continue;
    if (spot->cursor_)
      if (CInputManager* input = CInputManager::getCurrent()) input->endActiveCursor();
    spot->hovered_ = false;
    if (spot->onLeave(point) > 0) break;
  }
  // Entering, or moving over, the hot spot at the point.
  CHotSpot* spot = findAt(point);
  if (!spot) return false;
  // Only the top one is hovered: one below it that was hovered is left.
  for (CHotSpot* other : registry())
    if (other != spot && other->hovered_ && alive(other)) {
      other->hovered_ = false;
      if (other->cursor_)
        if (CInputManager* input = CInputManager::getCurrent()) input->endActiveCursor();
      other->onLeave(point);
      if (!alive(spot)) return true;
      break;
    }
  if (spot->cursor_)
    if (CInputManager* input = CInputManager::getCurrent()) input->beginActiveCursor();
  if (spot->hovered_) {
    spot->onMove(point);
  } else {
    spot->hovered_ = true;
    spot->onMove(point);
    if (alive(spot)) spot->onEnter(point);
  }
  return true;
}

bool CHotSpot::dispatchPress(int button, const CXPoint& point) {
  if (button == tarnvik::InputEvent::kLeft) {
    CHotSpot* spot = findAt(point);
    if (!spot) return false;
    spot->pressed_ = true;
    spot->onPress(point);
    return true;
  }
  return offerOther(button, true, point);
}

bool CHotSpot::offerOther(int button, bool down, const CXPoint& point) {
  // Right and middle presses and releases go to every hot spot under the point until one uses them.
  auto snapshot = registry();
  for (CHotSpot* spot : snapshot) {
    if (!alive(spot) || !spot->enabled_ || !spot->inWindow() || !spot->TestHit(point)) continue;
    if (down ? spot->onOtherPress(button, point) : spot->onOtherRelease(button, point)) return true;
  }
  return false;
}

bool CHotSpot::dispatchRelease(int button, const CXPoint& point) {
  if (button == tarnvik::InputEvent::kLeft) {
    // Only the hot spot that was pressed hears the release, and only over it; every press ends.
    CHotSpot* spot = findAt(point);
    bool taken = false;
    auto snapshot = registry();
    for (CHotSpot* s : snapshot) {
      if (!alive(s) || !s->pressed_) continue;
      s->pressed_ = false;
      if (s == spot) {
        s->onRelease(point);
        taken = true;
      } else {
        s->onReleaseOutside(point);
      }
    }
    return taken;
  }
  return offerOther(button, false, point);
}

void CHotSpot::resetAll() {
  auto snapshot = registry();
  for (CHotSpot* spot : snapshot) {
    if (!alive(spot) || (!spot->hovered_ && !spot->pressed_)) continue;
    spot->hovered_ = false;
    spot->pressed_ = false;
    spot->onReset();
  }
  dragged_.clear();
  if (CInputManager* input = CInputManager::getCurrent()) input->endActiveCursor();
}
