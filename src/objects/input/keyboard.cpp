// KEYBOARD objects: key events by name, typed characters, key queries.
#include "objects/input/keyboard.h"

#include "files/state_fields.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "objects/data/array.h"
#include "objects/type_registration.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

const CMC_EventList& keyboardEvents() {
  static const CMC_EventList list = CMC_Object::makeEventList({"ONCHAR", "ONKEYDOWN", "ONKEYUP"});
  return list;
}

CInputManager* input() { return CInputManager::getCurrent(); }

}  // namespace

CMC_Keyboard::CMC_Keyboard(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Object(scope, element, mc::TYPE_KEYBOARD) {
  if (CInputManager* in = input()) in->addKeyListener(this);
  initializeBehaviours(scope, element);
}

CMC_Keyboard::~CMC_Keyboard() {
  if (CInputManager* in = input()) in->removeKeyListener(this);
}

const CMC_EventList* CMC_Keyboard::getBehavioursList() const { return &keyboardEvents(); }

bool CMC_Keyboard::serialize(CXArchive* archive) {
  if (!CMC_Object::serialize(archive)) return false;
  if (archive->isStoring()) {
    *archive << getName() << enabled_;
    return archive->isOk();
  }
  CXString name;
  bool enabled = true;
  *archive >> name >> enabled;
  if (!archive->isOk()) return false;
  setName(name);
  enabled_ = enabled;
  return true;
}

void CMC_Keyboard::keyEvent(int code, int index, const char* event) {
  if (!enabled_) return;
  const char* name = tarnvik::keys::nameOf(code);
  if (name) {
    // A release names the latest key as a press does; the queue lists presses only, so a key
    // pressed and released is listed once.
    latest_ = CXString(name);
    if (index == EVI_ONKEYDOWN) {
      latestKeys_.push_back(latest_);
      if (latestKeys_.size() > kLatestKeys) latestKeys_.pop_front();
    }
  }
  if (!hasHandlerFlag(index)) return;
  if (name) onSignalWithParam(event, CXString(name));
  else onSignal(CXString(event));
}

void CMC_Keyboard::onKeyDown(int code) { keyEvent(code, EVI_ONKEYDOWN, "ONKEYDOWN"); }
void CMC_Keyboard::onKeyUp(int code) { keyEvent(code, EVI_ONKEYUP, "ONKEYUP"); }

void CMC_Keyboard::onChar(const std::string& character) {
  if (!enabled_) return;
  lastChar_ = CXString(character);
  fireEvent(EVI_ONCHAR, "ONCHAR", lastChar_);
}

std::deque<CXString> CMC_Keyboard::takeLatestKeys(bool clear) {
  std::deque<CXString> keys = latestKeys_;
  if (clear) latestKeys_.clear();
  return keys;
}

CMC_Runner::MethodTable CMC_Keyboard_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"ENABLE", ENABLE},
      {"DISABLE", DISABLE},
      {"SETAUTOREPEAT", SETAUTOREPEAT},
      {"ISKEYDOWN", ISKEYDOWN},
      {"GETLATESTKEY", GETLATESTKEY},
      {"GETLATESTKEYS", GETLATESTKEYS},
      {"ISENABLED", ISENABLED},
  };
  return kMethods;
}

CMC_Object* CMC_Keyboard_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  auto* keyboard = dynamic_cast<CMC_Keyboard*>(target);
  if (!keyboard) return CMC_Runner::run(id, target, scope, args);
  CInputManager* in = input();
  switch (id) {
    case ENABLE: keyboard->enable(true); return nullptr;
    case DISABLE: keyboard->enable(false); return nullptr;
    case SETAUTOREPEAT:
      if (in) in->setAutoRepeat(getParameterBool(args, 0));
      return nullptr;
    case ISKEYDOWN: {
      if (!keyboard->isEnabled() || !in) return CMC_VariableFactory::boolean(false);
      if (argCount(args) == 0) return CMC_VariableFactory::boolean(in->anyKeyDown());
      return CMC_VariableFactory::boolean(in->isKeyDown(getParameterString(args, 0).view()));
    }
    case GETLATESTKEY: return CMC_VariableFactory::string(keyboard->getLatestKey());
    case GETLATESTKEYS: {
      CMC_Object* array = getParameterObject(args, 0, scope);
      if (!array || array->getType() != mc::TYPE_ARRAY) {
        TLOG_WARN("KEYBOARD " << keyboard->getName().view() << "^GETLATESTKEYS: \"" << getParameterString(args, 0).view()
                              << "\" is not an ARRAY");
        return nullptr;
      }
      for (const CXString& key : keyboard->takeLatestKeys(getParameterBool(args, 1))) {
        CMC_Object* value = CMC_VariableFactory::string(key);
        static_cast<CMC_Array*>(array)->add(value);
        CMC_Object::flush(static_cast<CMC_Variable*>(value));
      }
      return nullptr;
    }
    case ISENABLED: return CMC_VariableFactory::boolean(keyboard->isEnabled());
    default: return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerKeyboardType() {
  registerElementType<CMC_Keyboard, CMC_Keyboard_Runner>("KEYBOARD", mc::TYPE_KEYBOARD);
}

}  // namespace tarnvik

bool CMC_Keyboard::serializeState(CXArchive* archive) {
  bool enabled = enabled_;
  CXString latest = latest_, lastChar = lastChar_;
  int32_t queued = static_cast<int32_t>(latestKeys_.size());
  if (!saved::fields(archive, enabled, latest, lastChar, queued)) return false;
  if (archive->isLoading() && (queued < 0 || static_cast<size_t>(queued) > kLatestKeys)) return false;
  std::deque<CXString> keys = latestKeys_;
  keys.resize(static_cast<size_t>(queued));
  for (CXString& key : keys)
    if (!saved::fields(archive, key)) return false;
  if (archive->isStoring()) return true;
  enabled_ = enabled;
  latest_ = latest;
  lastChar_ = lastChar;
  latestKeys_ = std::move(keys);
  return true;
}
