// The input side's run-time state for saves of the running game: the input manager, hot spots and
// buttons, each written and read in one list of fields.
#include "files/state_fields.h"
#include "input/button.h"
#include "input/hotspot.h"
#include "input/input_manager.h"

namespace {

bool rectField(CXArchive* archive, CXRect& r) {
  int32_t l = r.left, t = r.top, rt = r.right, b = r.bottom;
  if (!saved::fields(archive, l, t, rt, b)) return false;
  r = CXRect(l, t, rt, b);
  return true;
}

bool pointField(CXArchive* archive, CXPoint& p) {
  int32_t x = p.x, y = p.y;
  if (!saved::fields(archive, x, y)) return false;
  p = CXPoint(x, y);
  return true;
}

}  // namespace

bool CHotSpot::serializeState(CXArchive* archive) {
  bool hovered = hovered_, pressed = pressed_, enabled = enabled_, cursor = cursor_, ignoreAlpha = ignoreAlpha_;
  int32_t priority = priority_;
  CXRect rect = rect_;
  if (!saved::fields(archive, hovered, pressed, enabled, cursor, ignoreAlpha, priority) || !rectField(archive, rect))
    return false;
  if (archive->isStoring()) return true;
  hovered_ = hovered;
  pressed_ = pressed;
  enabled_ = enabled;
  cursor_ = cursor;
  ignoreAlpha_ = ignoreAlpha;
  priority_ = priority;
  rect_ = rect;
  return true;
}

bool CButton::serializeState(CXArchive* archive) {
  if (!CHotSpot::serializeState(archive)) return false;
  bool enabled = enabled_, visibleWhileDisabled = visibleWhileDisabled_, frozen = frozen_, forced = forced_;
  bool draggable = draggable_, dragging = dragging_, hideStandard = hideStandard_, soundLocked = soundLocked_;
  CXPoint lastClick = lastClick_, dragFrom = dragFrom_;
  if (!saved::fields(archive, enabled, visibleWhileDisabled, frozen, forced, draggable, dragging, hideStandard,
                     soundLocked) ||
      !pointField(archive, lastClick) || !pointField(archive, dragFrom))
    return false;
  if (archive->isStoring()) return true;
  enabled_ = enabled;
  visibleWhileDisabled_ = visibleWhileDisabled;
  frozen_ = frozen;
  forced_ = forced;
  draggable_ = draggable;
  dragging_ = dragging;
  hideStandard_ = hideStandard;
  soundLocked_ = soundLocked;
  lastClick_ = lastClick;
  dragFrom_ = dragFrom;
  syncVisibility();
  return true;
}

bool CInputManager::serializeState(CXArchive* archive) {
  CXPoint position = position_;
  CXRect clip = clip_;
  bool buttons[3] = {buttons_[0], buttons_[1], buttons_[2]};
  bool mouseInput = mouseInput_, autoRepeat = autoRepeat_, cursorVisible = cursorVisible_;
  bool active = activeCursor_, locked = activeLocked_;
  int32_t minPriority = CHotSpot::getMinPriority(), maxPriority = CHotSpot::getMaxPriority();
  CXString dragged = CXString(CHotSpot::draggedName());
  int32_t keys = tarnvik::keys::kCount;
  if (!pointField(archive, position) || !rectField(archive, clip) ||
      !saved::fields(archive, buttons[0], buttons[1], buttons[2], mouseInput, autoRepeat, cursorVisible, active, locked,
                     minPriority, maxPriority, dragged, keys) ||
      keys != tarnvik::keys::kCount)
    return false;
  bool down[tarnvik::keys::kCount];
  for (int i = 0; i < tarnvik::keys::kCount; ++i) down[i] = down_[i];
  for (bool& d : down)
    if (!saved::fields(archive, d)) return false;
  if (archive->isStoring()) return true;
  position_ = position;
  for (int i = 0; i < 3; ++i) buttons_[i] = buttons[i];
  for (int i = 0; i < tarnvik::keys::kCount; ++i) down_[i] = down[i];
  mouseInput_ = mouseInput;
  autoRepeat_ = autoRepeat;
  activeLocked_ = false;
  active ? beginActiveCursor() : endActiveCursor();
  activeLocked_ = locked;
  showCursor(cursorVisible);
  setClipRect(clip.isEmpty() ? nullptr : &clip);
  CHotSpot::setMinPriority(minPriority);
  CHotSpot::setMaxPriority(maxPriority);
  CHotSpot::setDraggedName(dragged.str());
  mouse_.clear();
  keys_.clear();
  return true;
}
