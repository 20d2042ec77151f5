// MOUSE objects: the listener side (events) and the cursor methods.
#include "objects/input/mouse.h"

#include "files/state_fields.h"
#include "files/xarchive.h"
#include "objects/type_registration.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& mouseEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList({"ONMOVE", "ONCLICK", "ONRELEASE", "ONDBLCLICK"});
  return list;
}

CInputManager* input() { return CInputManager::getCurrent(); }

}  // namespace

CMC_Mouse::CMC_Mouse(CMC_ObjectsContainer* scope, CMElement* element) : CMC_Object(scope, element, mc::TYPE_MOUSE) {
  if (CInputManager* in = input()) {
    position_ = in->getPosition();
    in->registerMouseListener(this);
  }
  initializeBehaviours(scope, element);
}

CMC_Mouse::~CMC_Mouse() {
  if (CInputManager* in = input()) {
    in->removeMouseListener(this);
    // A hidden cursor comes back with the object that hid it.
    if (hidden_) in->showCursor(true);
  }
}

const CMC_EventList* CMC_Mouse::getBehavioursList() const { return &mouseEvents(); }

bool CMC_Mouse::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  if (archive->isStoring()) {
    *archive << getName() << enabled_ << signal_ << active_.left << active_.top << active_.right << active_.bottom;
    return archive->isOk();
  }
  CXString name;
  bool enabled = true, signal = true;
  CXRect active;
  *archive >> name >> enabled >> signal >> active.left >> active.top >> active.right >> active.bottom;
  if (!archive->isOk()) return false;
  setName(name);
  enabled_ = enabled;
  signal_ = signal;
  active_ = active;
  return true;
}

const char* CMC_Mouse::buttonName(int button) {
  return button == 2 ? "RIGHT" : button == 1 ? "MIDDLE" : "LEFT";
}

int CMC_Mouse::buttonOf(const CXString& name) {
  if (name.isEmpty() || name.equalsIgnoreCase("LEFT")) return 0;
  if (name.equalsIgnoreCase("MIDDLE")) return 1;
  if (name.equalsIgnoreCase("RIGHT")) return 2;
  return -1;
}

bool CMC_Mouse::onMouseMove(const CXPoint& point) {
  position_ = point;
  if (outside(point)) return false;
  if (enabled_ && hasHandlerFlag(EVI_ONMOVE)) onSignal(CXString("ONMOVE"));
  return false;
}

bool CMC_Mouse::onClick(int button, const CXPoint& point) {
  lastButton_ = button;
  if (button == 0) lastClick_ = point;
  if (outside(point)) return false;
  if (enabled_ && signal_) fireEvent(EVI_ONCLICK, "ONCLICK", CXString(buttonName(button)));
  return false;
}

bool CMC_Mouse::onRelease(int button, const CXPoint& point) {
  lastButton_ = button;
  if (outside(point)) return false;
  if (enabled_ && signal_) fireEvent(EVI_ONRELEASE, "ONRELEASE", CXString(buttonName(button)));
  return false;
}

bool CMC_Mouse::onDblClick(const CXPoint& point) {
  if (outside(point)) return false;
  if (enabled_ && signal_ && hasHandlerFlag(EVI_ONDBLCLICK)) onSignal(CXString("ONDBLCLICK"));
  return false;
}

void CMC_Mouse::enable(bool on) {
  enabled_ = on;
  if (CInputManager* in = input()) in->setMouseInput(on);
}

void CMC_Mouse::show(bool visible) {
  CInputManager* in = input();
  if (visible) {
    if (hidden_ && in) in->showCursor(true);
    hidden_ = false;
  } else if (!hidden_ && (!in || in->isCursorVisible())) {
    if (in) in->showCursor(false);
    hidden_ = true;
  }
}

void CMC_Mouse::setPosition(const CXPoint& point) {
  if (CInputManager* in = input()) {
    in->setPosition(point);
    position_ = in->getPosition();
  } else {
    position_ = point;
  }
}

CMC_Runner::MethodTable CMC_Mouse_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"SHOW", SHOW},
      {"HIDE", HIDE},
      {"ENABLE", ENABLE},
      {"DISABLE", DISABLE},
      {"GETPOSX", GETPOSX},
      {"GETPOSY", GETPOSY},
      {"GETLASTCLICKPOSX", GETLASTCLICKPOSX},
      {"GETLASTCLICKPOSY", GETLASTCLICKPOSY},
      {"SET", SET},
      {"SETPOSITION", SETPOSITION},
      {"MOVE", MOVE},
      {"CLICK", CLICK},
      {"ENABLESIGNAL", ENABLESIGNAL},
      {"DISABLESIGNAL", DISABLESIGNAL},
      {"MOUSERELEASE", MOUSERELEASE},
      {"SETCLIPRECT", SETCLIPRECT},
      {"LOCKACTIVECURSOR", LOCKACTIVECURSOR},
      {"ISLBUTTONDOWN", ISLBUTTONDOWN},
      {"ISRBUTTONDOWN", ISRBUTTONDOWN},
      {"SETACTIVERECT", SETACTIVERECT},
  };
  return kMethods;
}

CMC_Object* CMC_Mouse_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* mouse = dynamic_cast<CMC_Mouse*>(target);
  if (!mouse) return CMC_Runner::run(id, target, scope, args);
  CInputManager* in = input();
  auto rectArgs = [&] {
    return CXRect(getParameterInteger(args, 0), getParameterInteger(args, 1), getParameterInteger(args, 2),
                  getParameterInteger(args, 3));
  };
  switch (id) {
    case SHOW: mouse->show(true); return nullptr;
    case HIDE: mouse->show(false); return nullptr;
    case ENABLE: mouse->enable(true); return nullptr;
    case DISABLE: mouse->enable(false); return nullptr;
    case GETPOSX: return CMC_VariableFactory::integer(mouse->getPosition().x);
    case GETPOSY: return CMC_VariableFactory::integer(mouse->getPosition().y);
    case GETLASTCLICKPOSX: return CMC_VariableFactory::integer(mouse->getLastClick().x);
    case GETLASTCLICKPOSY: return CMC_VariableFactory::integer(mouse->getLastClick().y);
    case SET: {
      CXString name = getParameterString(args, 0);
      if (!in) return nullptr;
      if (name == "ARROW") in->endActiveCursor();
      else if (name == "WAIT") in->beginWaitCursor();
      else if (name == "ACTIVE") in->beginActiveCursor();
      return nullptr;
    }
    case SETPOSITION:
      mouse->setPosition(CXPoint(getParameterInteger(args, 0), getParameterInteger(args, 1)));
      return nullptr;
    case MOVE: {
      CXPoint p = mouse->getPosition();
      mouse->setPosition(CXPoint(p.x + getParameterInteger(args, 0), p.y + getParameterInteger(args, 1)));
      return nullptr;
    }
    case CLICK:
    case MOUSERELEASE: {
      int button = CMC_Mouse::buttonOf(getParameterString(args, 2));
      if (button < 0 || !in) return nullptr;
      int type = (button == 0 ? MouseSignal::kLeftDown : button == 1 ? MouseSignal::kMiddleDown : MouseSignal::kRightDown) +
                 (id == MOUSERELEASE ? 1 : 0);
      in->inject(type, CXPoint(getParameterInteger(args, 0), getParameterInteger(args, 1)));
      return nullptr;
    }
    case ENABLESIGNAL: mouse->enableSignal(true); return nullptr;
    case DISABLESIGNAL: mouse->enableSignal(false); return nullptr;
    case SETCLIPRECT: {
      if (!in) return nullptr;
      CXRect r = rectArgs();
      if (r.left == 0 && r.top == 0 && r.bottom == 0) in->setClipRect(nullptr);
      else in->setClipRect(&r);
      return nullptr;
    }
    case LOCKACTIVECURSOR:
      if (in) in->lockActiveCursor(getParameterBool(args, 0));
      return nullptr;
    case ISLBUTTONDOWN: return CMC_VariableFactory::boolean(in && in->isButtonDown(0));
    case ISRBUTTONDOWN: return CMC_VariableFactory::boolean(in && in->isButtonDown(2));
    case SETACTIVERECT: mouse->setActiveRect(rectArgs()); return nullptr;
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerMouseType() {
  registerElementType<CMC_Mouse, CMC_Mouse_Runner>("MOUSE", mc::TYPE_MOUSE);
}

}  // namespace tarnvik

bool CMC_Mouse::serializeState(CXArchive* archive) {
  bool enabled = enabled_, signal = signal_, hidden = hidden_;
  int32_t x = position_.x, y = position_.y, cx = lastClick_.x, cy = lastClick_.y, button = lastButton_;
  int32_t l = active_.left, t = active_.top, r = active_.right, b = active_.bottom;
  if (!saved::fields(archive, enabled, signal, hidden, x, y, cx, cy, button, l, t, r, b)) return false;
  if (archive->isStoring()) return true;
  enabled_ = enabled;
  signal_ = signal;
  hidden_ = hidden;
  position_ = CXPoint(x, y);
  lastClick_ = CXPoint(cx, cy);
  lastButton_ = button;
  active_ = CXRect(l, t, r, b);
  return true;
}
