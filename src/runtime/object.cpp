// CMC_Object: type names, handler binding and removal, signals, clones.
#include "runtime/object.h"

#include <cstring>

#include "definitions/melement.h"
#include "foundation/log.h"
#include "foundation/spelling.h"
#include "foundation/xarray.h"
#include "runtime/code_check.h"
#include "runtime/behaviour.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

struct TypeName {
  const char* name;
  int type;
};

// Names getTypeId knows.
constexpr TypeName kTypeIds[] = {
    {"INTEGER", mc::TYPE_INTEGER},
    {"STRING", mc::TYPE_STRING},
    {"BOOL", mc::TYPE_BOOL},
    {"DOUBLE", mc::TYPE_DOUBLE},
    {"VARIABLE", mc::TYPE_VARIABLE},
    {"CONDITION", mc::TYPE_CONDITION},
    {"COMPLEXCONDITION", mc::TYPE_COMPLEXCONDITION},
    {"EXPRESSION", mc::TYPE_EXPRESSION},
    {"BEHAVIOUR", mc::TYPE_BEHAVIOUR},
    {"MOUSE", mc::TYPE_MOUSE},
    {"KEYBOARD", mc::TYPE_KEYBOARD},
    {"RANDOM", mc::TYPE_RANDOM},
    {"CANVASOBSERVER", mc::TYPE_CANVASOBSERVER},
    {"APPLICATION", mc::TYPE_APPLICATION},
    {"EPISODE", mc::TYPE_EPISODE},
    {"SCENE", mc::TYPE_SCENE},
    {"ANIMO", mc::TYPE_ANIMO},
    {"BUTTON", mc::TYPE_BUTTON},
    {"FONT", mc::TYPE_FONT},
    {"SEQUENCE", mc::TYPE_SEQUENCE},
    {"SOUND", mc::TYPE_SOUND},
    {"TEXT", mc::TYPE_TEXT},
    {"TIMER", mc::TYPE_TIMER},
    {"IMAGE", mc::TYPE_IMAGE},
    {"EDITBOX", mc::TYPE_EDITBOX},
    {"NETPEER", mc::TYPE_NETPEER},
    {"NETSERVER", mc::TYPE_NETSERVER},
    {"NETCLIENT", mc::TYPE_NETCLIENT},
    {"DIALOG", mc::TYPE_DIALOG},
    {"FILTER", mc::TYPE_FILTER},
    {"STATICFILTER", mc::TYPE_STATICFILTER},
    {"VECTOR", mc::TYPE_VECTOR},
    {"PATH", mc::TYPE_PATH},
    {"FIFO", mc::TYPE_FIFO},
    {"LIFO", mc::TYPE_LIFO},
    {"CANVAS", mc::TYPE_CANVAS},
    {"PATTERN", mc::TYPE_PATTERN},
    {"SCROLL", mc::TYPE_SCROLL},
    {"GROUP", mc::TYPE_GROUP},
    {"ARRAY", mc::TYPE_ARRAY},
    {"STRUCTURE", mc::TYPE_STRUCTURE},
    {"DATABASE", mc::TYPE_DATABASE},
    {"CLASS", mc::TYPE_CLASS},
    {"VIRTUAL_GRAPHICSOBJECT", mc::TYPE_VIRTUAL_GRAPHICSOBJECT},
    {"MULTIARRAY", mc::TYPE_MULTIARRAY},
    {"KOLOROWANKA", mc::TYPE_KOLOROWANKA},
    {"MATRIX", mc::TYPE_MATRIX},
    {"SWF", mc::TYPE_SWF},
};

// Numbers typeToString writes by name; every other number is written in decimal.
constexpr TypeName kTypeNames[] = {
    {"INTEGER", mc::TYPE_INTEGER},
    {"STRING", mc::TYPE_STRING},
    {"BOOL", mc::TYPE_BOOL},
    {"DOUBLE", mc::TYPE_DOUBLE},
    {"CONDITION", mc::TYPE_CONDITION},
    {"COMPLEX CONDITION", mc::TYPE_COMPLEXCONDITION},
    {"EXPRESSION", mc::TYPE_EXPRESSION},
    {"BEHAVIOUR", mc::TYPE_BEHAVIOUR},
    {"MOUSE", mc::TYPE_MOUSE},
    {"RANDOM", mc::TYPE_RANDOM},
    {"KEYBOARD", mc::TYPE_KEYBOARD},
    {"CANVAS OBSERVER", mc::TYPE_CANVASOBSERVER},
    {"APPLICATION", mc::TYPE_APPLICATION},
    {"EPISODE", mc::TYPE_EPISODE},
    {"SCENE", mc::TYPE_SCENE},
    {"ANIMO", mc::TYPE_ANIMO},
    {"BUTTON", mc::TYPE_BUTTON},
    {"FONT", mc::TYPE_FONT},
    {"SEQUENCE", mc::TYPE_SEQUENCE},
    {"IMAGE", mc::TYPE_IMAGE},
    {"SOUND", mc::TYPE_SOUND},
    {"TEXT", mc::TYPE_TEXT},
    {"NETPEER", mc::TYPE_NETPEER},
    {"DIALOG", mc::TYPE_DIALOG},
    {"TIMER", mc::TYPE_TIMER},
    {"FILTER", mc::TYPE_FILTER},
    {"ARRAY", mc::TYPE_ARRAY},
};

// Control codes travel in result pointers; they are never objects.
bool isControlCode(const void* p) { return reinterpret_cast<uintptr_t>(p) >= static_cast<uintptr_t>(-16); }

std::string_view eventOf(std::string_view key) {
  size_t caret = key.find('^');
  return caret == std::string_view::npos ? key : key.substr(0, caret);
}

std::shared_ptr<CXArray> ownParams(CXArray* params) {
  if (!params) return nullptr;
  return std::shared_ptr<CXArray>(params, [](CXArray* a) { CXString::releaseToVector(a); });
}

}  // namespace

CMC_Object::CMC_Object(CXString name, int type) : name_(std::move(name)), type_(type) {}

CMC_Object::CMC_Object(CMC_ObjectsContainer* scene, CMElement* element, int type)
    : name_(elementName(element)), type_(type), scene_(scene) {
  if (element) origin_ = element->getOrigin();
}

CMC_Object::~CMC_Object() { ++deletions_; }

void CMC_Object::setWindowSource(WindowSource source) { windowSource_ = source; }

CWindow* CMC_Object::windowOf(const CMC_Object* object) {
  const CMC_ObjectsContainer* placed = dynamic_cast<const CMC_ObjectsContainer*>(object);
  if (!placed && object) placed = object->getScene();
  if (placed && placed->getWindow()) return placed->getWindow();
  return windowSource_ ? windowSource_() : nullptr;
}

void CMC_Object::init() {
  if (hasHandlerFlag(mc::EVI_ONINIT)) onSignal(CXString(mc::EV_ONINIT));
}

bool CMC_Object::done(bool /*unloading*/) {
  if (hasHandlerFlag(mc::EVI_ONDONE)) onSignal(CXString(mc::EV_ONDONE));
  return true;
}

int CMC_Object::getCloneIdx() const {
  int last = name_.FindLast('_');
  if (last <= 0 || last >= name_.length() - 1) return 0;
  return CXString::toNumber(name_.Right(last + 1));
}

CXString CMC_Object::getCloneName() {
  ++cloneCount_;
  return name_ + "_" + CXString::toString(cloneCount_);
}

void CMC_Object::clone(CMC_Object* copy) {
  if (!copy || copy == this) return;
  copy->isClone_ = true;
  copy->setScene(scene_);
  copy->setName(getCloneName());
  copy->events_ = eventList();
  copy->handlerFlags_ = handlerFlags_;
  copy->handlers_.clear();
  for (const auto& [key, list] : handlers_) {
    if (key == mc::EV_ONINIT) continue;
    CXString k(key);
    if (!copy->verifyBehaviour(k)) continue;
    if (list.empty()) continue;
    copy->handlersFor(key) = list;
  }
  if (!scene_) {
    TLOG_WARN("clone " << copy->getName().c_str() << " of " << name_.c_str() << " has no scene; dropped");
    delete copy;
    return;
  }
  scene_->addObject(copy);
}

void CMC_Object::clone(int n) {
  for (int i = 0; i < n; ++i) {
    CXObject* raw = clone();
    auto* copy = dynamic_cast<CMC_Object*>(raw);
    if (!copy) {
      delete raw;
      TLOG_DEBUG("object " << name_.c_str() << " of type " << type_ << " cannot be cloned");
      return;
    }
    clone(copy);
  }
}

void CMC_Object::flush(CMC_Variable* value, bool /*force*/) {
  if (!value || isControlCode(value)) return;
  if (value->getPoolIndex() >= 0) CMC_VariableFactory::free(value);
}

const CMC_EventList* CMC_Object::eventList() {
  if (!events_) events_ = getBehavioursList();
  if (events_ && handlerFlags_.size() < events_->size()) handlerFlags_.resize(events_->size(), 0);
  return events_;
}

std::weak_ptr<char> CMC_Object::lifeToken() {
  if (!life_) life_ = std::make_shared<char>(0);
  return life_;
}

void CMC_Object::resetObjectState() {
  name_.str().clear();
  isClone_ = false;
  temporary_ = false;
  overrideSignals_ = true;
  CMC_HandlerTable().swap(handlers_);
  inlineBehaviours_.clear();
  std::fill(handlerFlags_.begin(), handlerFlags_.end(), 0);
  scene_ = nullptr;
  class_ = nullptr;
  cloneCount_ = 0;
}

void CMC_Object::setHandlerFlag(int eventIndex) {
  if (eventIndex < 0) return;
  if (static_cast<size_t>(eventIndex) >= handlerFlags_.size()) handlerFlags_.resize(eventIndex + 1, 0);
  handlerFlags_[eventIndex] = 1;
}

int CMC_Object::getBehaviourIndex(const CXString& key) {
  const CMC_EventList* list = eventList();
  if (!list) return -1;
  for (size_t i = 0; i < list->size(); ++i)
    if (key.view().starts_with((*list)[i].view())) return static_cast<int>(i);
  return -1;
}

int CMC_Object::getSignalIndex(const CXString& key) {
  const CMC_EventList* list = eventList();
  if (!list) return -1;
  std::string_view event = eventOf(key.view());
  for (size_t i = 0; i < list->size(); ++i)
    if ((*list)[i].view() == event) return static_cast<int>(i);
  return -1;
}

bool CMC_Object::verifyBehaviour(const CXString& /*key*/) { return true; }

void CMC_Object::initializeBehaviours(CMC_ObjectsContainer* scope, CMElement* element) {
  inlineBehaviours_.clear();
  const CMC_EventList* list = eventList();
  if (!list) return;

  if (!element) {
    if (!scope) return;
    for (auto& [key, entries] : handlers_) {
      int index = getSignalIndex(CXString(key));
      for (auto& entry : entries) {
        CMC_Object* found = scope->getObject(entry.behaviourName);
        if (index < 0 || !found || found->getType() != mc::TYPE_BEHAVIOUR) continue;
        // The previous behaviour object belongs to the container that created it; only the
        // reference is replaced here.
        entry.bind(static_cast<CMC_Behaviour*>(found));
        setHandlerFlag(index);
      }
    }
    return;
  }

  const CMProperties& properties = element->getProperties();
  for (int p = 0; p < properties.size(); ++p) {
    const CMProperty* property = properties.getAt(p);
    if (property) bindHandler(scope, *list, *property);
  }
}

void CMC_Object::bindHandler(CMC_ObjectsContainer* scope, const CMC_EventList& list, const CMProperty& property) {
  const CXString& key = property.getName();
  // A key may start with several event names of the list (ONCLICK and ONCLICKED): it is bound
  // once, and the flag of every matching event is set.
  std::vector<int> matches;
  for (size_t i = 0; i < list.size(); ++i)
    if (key.view().starts_with(list[i].view())) matches.push_back(static_cast<int>(i));
  if (matches.empty()) {
    if (looksLikeEvent(key.view())) warnUnknownEvent(list, property);
    return;
  }
  property.markRead();
  {
    CXString value = property.getValue();
    value.AllTrim(' ');
    if (value.isEmpty()) return;
    if (!scope) {
      TLOG_DEBUG("object " << name_.c_str() << ": handler " << key.c_str() << " without a scope");
      return;
    }
    if (value.GetAt(0) == '{') {
      CXString behName("beh_");
      if (scope->getType() == mc::TYPE_CLASS) behName += scope->getName() + "_";
      behName += name_ + "_" + key;
      // Another element may have made an inline behaviour of this name already (an object named like
      // its scene, say): replacing it would delete a behaviour a handler points at.
      if (scope->getObjectId(behName) >= 0) {
        CXString base = behName;
        for (int n = 2; scope->getObjectId(behName) >= 0; ++n) behName = base + "_" + CXString::toString(n);
      }
      auto* behaviour = new CMC_Behaviour(scope, behName, value);
      behaviour->setOrigin(property.getOrigin());
      mc::reportCodeProblems(value.view(), property.getOrigin(), "handler " + key.str() + " of " + name_.str());
      behaviour->init();
      inlineBehaviours_.emplace_back(behaviour, scope);
      scope->addObject(behaviour);
      addBehaviour(key, behaviour, nullptr, scope);
      for (int i : matches) setHandlerFlag(i);
      return;
    }
    CXString behName = value;
    CXArray* args = nullptr;
    int open = value.Find('(');
    if (open >= 0) {
      behName = value.Left(open);
      behName.AllTrim(' ');
      int close = value.Find(')', open + 1);
      CXString argText = close >= 0 ? value.Mid(open + 1, close) : value.Right(open + 1);
      argText.AllTrim(' ');
      args = CXString::toVector(argText);
    }
    CMC_Object* found = scope->getObject(behName);
    if (found && found->getType() == mc::TYPE_BEHAVIOUR) {
      addBehaviour(key, static_cast<CMC_Behaviour*>(found), args, scope);
      for (int i : matches) setHandlerFlag(i);
    } else {
      TLOG_WARN_AT(property.getOrigin(), "handler " << key.c_str() << " of " << name_.c_str() << " names no behaviour "
                                                    << behName.c_str());
      CXString::releaseToVector(args);
    }
  }
}

bool CMC_Object::looksLikeEvent(std::string_view key) {
  if (key.size() < 4 || !key.starts_with("ON")) return false;
  for (char c : key.substr(0, key.find('^')))
    if (!(c >= 'A' && c <= 'Z') && c != '_') return false;
  return true;
}

void CMC_Object::warnUnknownEvent(const CMC_EventList& list, const CMProperty& property) {
  if (!tarnvik::log::mistakesWanted()) return;
  std::string_view key = property.getName().view();
  std::string_view event = key.substr(0, key.find('^'));
  std::vector<std::string> names;
  for (const CXString& e : list) names.push_back(e.str());
  TLOG_WARN_AT(property.getOrigin(), typeToString(type_).c_str() << " " << name_.c_str() << " has no event " << event
                                                                 << tarnvik::didYouMean(event, names));
}

namespace {
bool keyBefore(const std::pair<std::string, CMC_HandlerList>& entry, std::string_view key) { return entry.first < key; }
}  // namespace

CMC_HandlerList* CMC_Object::findHandlers(std::string_view key) const {
  auto it = std::lower_bound(handlers_.begin(), handlers_.end(), key, keyBefore);
  return it == handlers_.end() || it->first != key ? nullptr : &it->second;
}

CMC_HandlerList& CMC_Object::handlersFor(std::string_view key) {
  auto it = std::lower_bound(handlers_.begin(), handlers_.end(), key, keyBefore);
  if (it == handlers_.end() || it->first != key) it = handlers_.emplace(it, std::string(key), CMC_HandlerList());
  return it->second;
}

void CMC_Object::addBehaviour(const CXString& key, CMC_Behaviour* behaviour, CXArray* params,
                              CMC_ObjectsContainer* scope) {
  auto owned = ownParams(params);
  if (!verifyBehaviour(key)) return;
  if (overrideSignals_) removeBehaviourForce(key);
  setHandlerFlag(getSignalIndex(key));
  CMC_HandlerEntry entry;
  entry.bind(behaviour);
  entry.params = std::move(owned);
  entry.scope = scope;
  if (behaviour) entry.behaviourName = behaviour->getName();
  handlersFor(key.view()).push_back(std::move(entry));
}

void CMC_Object::removeBehaviour(const CXString& key, CMC_ObjectsContainer* scope) {
  CMC_HandlerList* list = findHandlers(key.view());
  if (!list) return;
  std::erase_if(*list, [scope](const CMC_HandlerEntry& e) { return e.scope == scope; });
}

void CMC_Object::removeBehaviourForce(const CXString& key) {
  CMC_HandlerList* list = findHandlers(key.view());
  if (list) list->clear();
}

void CMC_Object::removeAllBehaviours() {
  CMC_HandlerTable().swap(handlers_);
  inlineBehaviours_.clear();
  events_ = nullptr;
  std::fill(handlerFlags_.begin(), handlerFlags_.end(), 0);
}

const CMC_HandlerList* CMC_Object::getBehaviour(const CXString& key) const { return findHandlers(key.view()); }

const CMC_HandlerEntry* CMC_Object::getSingleBehaviour(const CXString& key, int index) const {
  const CMC_HandlerList* list = findHandlers(key.view());
  if (!list || index < 0 || index >= static_cast<int>(list->size())) return nullptr;
  return &(*list)[index];
}

std::vector<CMC_Behaviour*> CMC_Object::getTmpBehList() const {
  std::vector<CMC_Behaviour*> out;
  out.reserve(inlineBehaviours_.size());
  for (const auto& [behaviour, scope] : inlineBehaviours_) out.push_back(behaviour);
  return out;
}

std::vector<CXString> CMC_Object::getBehaviourKeys() const {
  std::vector<CXString> keys;
  for (const auto& [key, list] : handlers_)
    if (!list.empty()) keys.emplace_back(key);
  return keys;
}

CMC_Behaviour* CMC_HandlerEntry::live() const { return life.expired() ? nullptr : behaviour; }

void CMC_HandlerEntry::bind(CMC_Behaviour* b) {
  behaviour = b;
  life = mc::lifeOf(b);
}

bool CMC_Object::onSignal(const CXString& key) { return fire(key, nullptr, false); }

bool CMC_Object::onSignal(const CXString& key, CXArray* params) { return fire(key, params, true); }

bool CMC_Object::fire(const CXString& key, CXArray* params, bool supplied) {
  CMC_HandlerList* list = findHandlers(key.view());
  if (!list || list->empty()) return false;
  std::weak_ptr<char> alive = lifeToken();
  // Handlers may bind, unbind or delete while they run: walk by index and look the list up again
  // after every run, and keep the entry's parameters alive for the duration of its run.
  for (size_t i = 0;; ++i) {
    list = findHandlers(key.view());
    if (!list || i >= list->size()) break;
    CMC_HandlerEntry& entry = (*list)[i];
    CMC_Behaviour* behaviour = entry.live();
    if (!behaviour) {
      // Deleted since it was bound: the entry stays unbound, by name, like one restored before its
      // behaviour exists.
      entry.behaviour = nullptr;
      continue;
    }
    std::shared_ptr<CXArray> keep = (*list)[i].params;
    behaviour->run(this, supplied ? params : keep.get(), true);
    if (alive.expired()) break;
  }
  return true;
}

bool CMC_Object::onSignalWithParam(const char* event, const CXString& param, CXArray* params) {
  CXString key(event);
  key += '^';
  key += param;
  bool bound = params ? onSignal(key, params) : onSignal(key);
  if (bound) return true;
  return params ? onSignal(CXString(event), params) : onSignal(CXString(event));
}

bool CMC_Object::fireEvent(int eventIndex, const char* event, const CXString& param) {
  if (!hasHandlerFlag(eventIndex)) return false;
  return onSignalWithParam(event, param);
}

namespace {
// Takes the entries `drop` picks out of every handler list, then the lists left empty.
template <typename Drop>
void dropHandlers(CMC_HandlerTable& handlers, Drop drop) {
  for (auto& [key, list] : handlers) std::erase_if(list, drop);
  std::erase_if(handlers, [](const auto& keyed) { return keyed.second.empty(); });
}
}  // namespace

void CMC_Object::onSceneDone(CMC_ObjectsContainer* scope) {
  std::erase_if(inlineBehaviours_, [scope](const auto& p) { return p.second == scope; });
  dropHandlers(handlers_, [scope](const CMC_HandlerEntry& e) { return e.scope == scope; });
}

void CMC_Object::removeBehavioursOf(const std::unordered_set<const CMC_Object*>& gone) {
  if (gone.empty()) return;
  std::erase_if(inlineBehaviours_, [&](const auto& p) { return gone.contains(p.first); });
  dropHandlers(handlers_, [&](const CMC_HandlerEntry& e) { return gone.contains(e.behaviour); });
}

int CMC_Object::getTypeId(const CXString& name) {
  if (name.isEmpty()) return -1;
  for (const auto& t : kTypeIds)
    if (name == t.name) return t.type;
  return -1;
}

CXString CMC_Object::typeToString(int type) {
  for (const auto& t : kTypeNames)
    if (t.type == type) return CXString(t.name);
  return CXString::toString(type);
}

CMC_EventList CMC_Object::makeEventList(std::initializer_list<const char*> own) {
  CMC_EventList list{CXString(mc::EV_ONINIT), CXString(mc::EV_ONDONE), CXString(mc::EV_ONSIGNAL)};
  for (const char* e : own) list.emplace_back(e);
  return list;
}

const CMC_EventList* CMC_Object::baseEventList() {
  static const CMC_EventList list = makeEventList({});
  return &list;
}
