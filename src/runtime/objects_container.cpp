// CMC_ObjectsContainer: object table, lookup through parents, creation passes, unloading.
#include "runtime/objects_container.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "definitions/melement.h"
#include "foundation/log.h"
#include "foundation/spelling.h"
#include "runtime/behaviour.h"
#include "runtime/variable.h"

namespace {

CMC_NameMap<CMC_ObjectMaker>& registry() {
  static CMC_NameMap<CMC_ObjectMaker> makers = [] {
    CMC_NameMap<CMC_ObjectMaker> m;
    m["BEHAVIOUR"] = [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* { return new CMC_Behaviour(s, e); };
    m["BOOL"] = [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* { return new CMC_Bool(s, e); };
    m["DOUBLE"] = [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* { return new CMC_Double(s, e); };
    m["INTEGER"] = [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* { return new CMC_Integer(s, e); };
    m["STRING"] = [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* { return new CMC_String(s, e); };
    return m;
  }();
  return makers;
}

using TypeList = std::initializer_list<const char*>;

// The creation passes in their fixed order; pass 5 (condition binding of behaviours) creates nothing.
const TypeList kPass1 = {"BEHAVIOUR"};
const TypeList kPass2 = {"BOOL", "DOUBLE", "INTEGER", "STRING"};
const TypeList kPass3 = {"CONDITION", "COMPLEXCONDITION", "EXPRESSION", "ARRAY", "MULTIARRAY", "STRUCT", "DATABASE"};
const TypeList kPass4 = {"CLASS"};
const TypeList kPass6 = {"IMAGE", "ANIMO", "VIRTUALGRAPHICSOBJECT", "FONT", "SOUND", "VECTOR", "GRBUFFER"};
const TypeList kPass7 = {"MOUSE",  "KEYBOARD", "JOYSTICK",     "TIMER",   "BUTTON", "SEQUENCE", "CANVAS_OBSERVER",
                         "GROUP",  "TEXT",     "FILTER",       "STATICFILTER", "EDITBOX", "PATH", "FIFO",
                         "LIFO",   "CANVAS",   "PATTERN",      "DIALOG",  "SCROLL", "MOVIE",    "INTERNET"};

bool inList(const TypeList& list, const CXString& type) {
  return std::any_of(list.begin(), list.end(), [&](const char* t) { return type == t; });
}

bool inAnyPass(const CXString& type) {
  return inList(kPass1, type) || inList(kPass2, type) || inList(kPass3, type) || inList(kPass4, type) ||
         inList(kPass6, type) || inList(kPass7, type);
}

bool isStructureTypeName(const CXString& type) { return type == "APPLICATION" || type == "EPISODE" || type == "SCENE"; }

bool isStructureType(int type) {
  return type == mc::TYPE_APPLICATION || type == mc::TYPE_EPISODE || type == mc::TYPE_SCENE;
}

const CXString kTypeKey("TYPE");

// Every TYPE text the container knows: the passes' and the registered makers'.
std::vector<std::string> knownTypeNames() {
  std::vector<std::string> names;
  for (const TypeList* list : {&kPass1, &kPass2, &kPass3, &kPass4, &kPass6, &kPass7})
    for (const char* t : *list) names.emplace_back(t);
  for (const auto& [name, maker] : registry())
    if (maker) names.push_back(name);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

void warnUnknownType(const CXString& type, CMElement* element) {
  if (type.isEmpty() || !tarnvik::log::mistakesWanted()) return;
  const CMProperty* key = element->getProperty(kTypeKey);
  TLOG_WARN_AT(key ? key->getOrigin() : element->getOrigin(),
               "unknown TYPE " << type.view() << " of " << element->getName().view()
                               << tarnvik::didYouMean(type.view(), knownTypeNames()));
}

bool looksLikeEventKey(std::string_view key) { return key.size() >= 4 && key.starts_with("ON"); }

// Keys of a made object's definition that nothing read: the type does not know them. A near miss
// of a key the type asked for and did not find is named.
void warnUnreadKeys(CMElement* element, const CMC_Object* object) {
  if (!tarnvik::log::mistakesWanted()) return;
  const CMProperties& properties = element->getProperties();
  std::vector<std::string> known;
  for (int i = 0; i < properties.size(); ++i)
    if (properties.getAt(i)->isRead()) known.push_back(properties.getAt(i)->getName().str());
  for (int i = 0; i < properties.size(); ++i) {
    const CMProperty* p = properties.getAt(i);
    std::string_view key = p->getName().view();
    if (p->isRead() || looksLikeEventKey(key) || std::find(known.begin(), known.end(), key) != known.end()) continue;
    known.emplace_back(key);
    TLOG_DOUBT_AT(p->getOrigin(), CMC_Object::typeToString(object->getType()).view()
                                      << " " << object->getName().view() << " has no key " << key
                                      << tarnvik::didYouMean(key, properties.askedFor()));
  }
}

}  // namespace

CMC_ObjectsContainer::CMC_ObjectsContainer(CWindow* window, CMElement* element, CMC_ObjectsContainer* parent, int type)
    : CMC_Object(parent, element, type), window_(window) {
  if (parent) setParent(parent);
}

CMC_ObjectsContainer::CMC_ObjectsContainer(CWindow* window, CXString name, CMC_ObjectsContainer* parent, int type)
    : CMC_Object(std::move(name), type), window_(window) {
  setScene(parent);
  if (parent) setParent(parent);
}

CMC_ObjectsContainer::~CMC_ObjectsContainer() {
  std::vector<CMC_Object*> doomed;
  doomed.swap(objects_);
  names_.clear();
  ++namesVersion_;
  for (CMC_Object* o : doomed)
    if (owns(o)) delete o;
}

bool CMC_ObjectsContainer::owns(const CMC_Object* object) const {
  return object && !isParentEntry(object) && !isStructureType(object->getType());
}

void CMC_ObjectsContainer::addObject(CMC_Object* object) {
  if (!object) return;
  // One lookup for the common case, a name not yet here (a large scene adds its objects so).
  auto [it, added] = names_.try_emplace(object->getName().str(), object);
  if (!added) {
    CMC_Object* old = it->second;
    if (old == object) return;
    if (isParentEntry(old)) {
      it->second = object;
    } else {
      removeObject(old);
      if (!isStructureType(old->getType())) delete old;
      names_.insert_or_assign(object->getName().str(), object);
    }
  }
  objects_.push_back(object);
  ++namesVersion_;
}

bool CMC_ObjectsContainer::removeObject(CMC_Object* object) {
  if (!object) return false;
  // Searched from the end: what leaves is mostly what came last (temporaries of a run, inline code),
  // and a large scene must not make every such removal walk all of it.
  auto pos = std::find(objects_.rbegin(), objects_.rend(), object);
  if (pos == objects_.rend()) return false;
  objects_.erase(std::next(pos).base());
  ++namesVersion_;
  for (Walk* walk = walk_; walk; walk = walk->outer_) walk->left_.insert(object);
  auto it = names_.find(object->getName().view());
  if (it != names_.end() && it->second == object) {
    names_.erase(it);
  } else {
    // Renamed after it was added: find its entry by value.
    for (auto n = names_.begin(); n != names_.end(); ++n)
      if (n->second == object) {
        names_.erase(n);
        break;
      }
  }
  return true;
}

CMC_Object* CMC_ObjectsContainer::getObject(std::string_view name) const {
  auto it = names_.find(name);
  if (it != names_.end()) return it->second;
  // A scene's code names its own scene (SCENE^PAUSE() inside that scene): the container itself.
  if (name == getName().view()) return const_cast<CMC_ObjectsContainer*>(this);
  if (name.size() > 2 && name.ends_with("_0")) {
    if (CMC_Object* base = getObject(name.substr(0, name.size() - 2))) return base;
  }
  return parent_ ? parent_->getObject(name) : nullptr;
}

CMC_Object* CMC_ObjectsContainer::getObject(int index) const {
  if (index < 0 || index >= static_cast<int>(objects_.size())) return nullptr;
  return objects_[index];
}

int CMC_ObjectsContainer::getObjectId(const CXString& name) const {
  for (size_t i = 0; i < objects_.size(); ++i)
    if (objects_[i]->getName() == name) return static_cast<int>(i);
  return -1;
}

CMC_Variable* CMC_ObjectsContainer::getVariable(std::string_view name) const {
  CMC_Object* o = getObject(name);
  if (!o || !CMC_Variable::isValueType(o->getType())) return nullptr;
  return static_cast<CMC_Variable*>(o);
}

std::vector<CMC_Object*> CMC_ObjectsContainer::getObjectsOfType(int type) const {
  std::vector<CMC_Object*> out;
  for (CMC_Object* o : objects_)
    if (o->getType() == type) out.push_back(o);
  return out;
}

void CMC_ObjectsContainer::getObjects(const CXString& typeName, std::vector<CMC_Object*>& out) const {
  out.clear();
  int type = getTypeId(typeName);
  for (CMC_Object* o : objects_)
    if (o->getType() == type) out.push_back(o);
}

CGraphicsObject* CMC_ObjectsContainer::getGraphicsObject(const CXString& name) const {
  CMC_Object* o = getObject(name);
  return o ? o->getDrawable() : nullptr;
}

CXString CMC_ObjectsContainer::getGraphicsObjectName(const CGraphicsObject* drawable, bool searchParents) const {
  if (drawable) {
    for (CMC_Object* o : objects_)
      if (o->getDrawable() == drawable) return o->getName();
    if (searchParents && parent_) return parent_->getGraphicsObjectName(drawable, true);
  }
  return CXString();
}

void CMC_ObjectsContainer::setParent(CMC_ObjectsContainer* parent) {
  for (CMC_ObjectsContainer* p = parent; p; p = p->getParent()) {
    if (p == this) {
      TLOG_ERROR("container " << getName().c_str() << ": parent " << parent->getName().c_str()
                              << " would make a cycle; ignored");
      return;
    }
  }
  for (CMC_Object* old : {static_cast<CMC_Object*>(parent_), static_cast<CMC_Object*>(grandParent_)}) {
    if (!old) continue;
    auto it = names_.find(old->getName().view());
    if (it != names_.end() && it->second == old) names_.erase(it);
  }
  parent_ = parent;
  grandParent_ = parent ? parent->getParent() : nullptr;
  enterParents();
}

void CMC_ObjectsContainer::enterParents() {
  for (CMC_Object* p : {static_cast<CMC_Object*>(parent_), static_cast<CMC_Object*>(grandParent_)}) {
    if (p && !names_.contains(p->getName().view())) names_.emplace(p->getName().str(), p);
  }
  ++namesVersion_;
}

CMC_Object* CMC_ObjectsContainer::create(const CXString& typeName, CMElement* element) {
  auto& makers = registry();
  auto it = makers.find(typeName.view());
  if (it == makers.end() || !it->second) {
    TLOG_DEBUG("container " << getName().c_str() << ": no script type " << typeName.c_str() << " for "
                            << elementName(element).c_str());
    return nullptr;
  }
  CMC_Object* object = it->second(this, element);
  if (!object) TLOG_DEBUG("container " << getName().c_str() << ": " << typeName.c_str() << " "
                                       << elementName(element).c_str() << " was not created");
  return object;
}

std::vector<CMElement*> CMC_ObjectsContainer::resolveObjects(CMElements* elements) {
  std::vector<CMElement*> all;
  if (elements)
    for (CMElement* e : *elements)
      if (e) all.push_back(e);
  std::vector<char> consumed(all.size(), 0);
  // The TYPE of each element, read in place (the elements outlive the call).
  static const CXString kNoType;
  std::vector<const CXString*> typeOf;
  typeOf.reserve(all.size());
  for (CMElement* e : all) {
    const CMProperty* type = e->getProperty(kTypeKey);
    typeOf.push_back(type ? &type->getValue() : &kNoType);
  }

  std::vector<CMC_Object*> made(all.size(), nullptr);
  // Most elements become an object: the tables grow once, not by doubling through a large scene.
  names_.reserve(names_.size() + all.size());
  objects_.reserve(objects_.size() + all.size());
  auto pass = [&](const TypeList& list) {
    for (size_t i = 0; i < all.size(); ++i) {
      if (consumed[i] || !inList(list, *typeOf[i])) continue;
      if (CMC_Object* object = create(*typeOf[i], all[i])) {
        consumed[i] = 1;
        made[i] = object;
        addObject(object);
      }
    }
  };

  pass(kPass1);
  pass(kPass2);
  pass(kPass3);
  pass(kPass4);
  for (CMC_Object* o : std::vector<CMC_Object*>(objects_))
    if (o->getType() == mc::TYPE_BEHAVIOUR) static_cast<CMC_Behaviour*>(o)->resolveCondition();
  pass(kPass6);

  for (size_t i = 0; i < all.size(); ++i) {
    if (consumed[i]) continue;
    const CXString& type = *typeOf[i];
    CMElement* element = all[i];
    if (inList(kPass7, type)) {
      const char* single = nullptr;
      if (type == "KEYBOARD") single = "KEYBOARD";
      else if (type == "CANVAS_OBSERVER") single = "CANVASOBSERVER";
      else if (type == "MOUSE" && element->getName() == "MOUSE") single = "MOUSE";
      if (single) {
        if (CMC_Object* existing = getObject(single)) {
          existing->initializeBehaviours(this, element);
          continue;
        }
      }
      if (CMC_Object* object = create(type, element)) {
        consumed[i] = 1;
        made[i] = object;
        addObject(object);
      }
    } else if (!inAnyPass(type)) {
      if (CMC_Object* object = resolveEx(element)) {
        consumed[i] = 1;
        addObject(object);
      } else {
        TLOG_DEBUG("container " << getName().c_str() << ": element " << element->getName().c_str()
                                << " of type '" << type.c_str() << "' creates nothing");
        if (!isTypeRegistered(type) && !isStructureTypeName(type)) warnUnknownType(type, element);
      }
    }
  }
  // (An object replaced by a later one of the same name is gone: only those still here are judged.)
  if (tarnvik::log::mistakesWanted()) {
    std::vector<const CMC_Object*> present(objects_.begin(), objects_.end());
    std::sort(present.begin(), present.end());
    for (size_t i = 0; i < all.size(); ++i)
      if (made[i] && std::binary_search(present.begin(), present.end(), made[i])) warnUnreadKeys(all[i], made[i]);
  }

  std::vector<CMElement*> rest;
  for (size_t i = 0; i < all.size(); ++i)
    if (!consumed[i]) rest.push_back(all[i]);
  return rest;
}

CMC_Object* CMC_ObjectsContainer::resolve(CMElement* element) {
  if (!element) return nullptr;
  CMC_Object* object = create(element->getPropertyValue(kTypeKey), element);
  if (!object) object = resolveEx(element);
  if (object) addObject(object);
  return object;
}

CMC_Object* CMC_ObjectsContainer::resolveEx(CMElement* /*element*/) { return nullptr; }

CMC_ObjectsContainer::Walk::Walk(CMC_ObjectsContainer& container)
    : container_(container),
      snapshot_(container.objects_),
      outer_(container.walk_) {
  container.walk_ = this;
}

CMC_ObjectsContainer::Walk::~Walk() { container_.walk_ = outer_; }

void CMC_ObjectsContainer::unload() {
  // The container's own ONDONE runs first, while its objects are still alive and unfinished: its
  // handlers are usually behaviours of this very container, and a finished behaviour runs nothing.
  if (hasHandlerFlag(mc::EVI_ONDONE)) onSignal(CXString(mc::EV_ONDONE));

  // Handlers run by done() may add or remove objects: walk a snapshot and skip what left.
  {
    Walk walk(*this);
    for (CMC_Object* o : walk.snapshot())
      if (walk.present(o) && o->getType() == mc::TYPE_CLASS) o->done(true);
    for (int first = 1; first >= 0; --first) {
      for (CMC_Object* o : walk.snapshot()) {
        if (!walk.present(o) || o->getType() == mc::TYPE_CLASS || !owns(o)) continue;
        if (o->doneFirst() == (first == 1)) o->done(true);
      }
    }
  }

  std::vector<CMC_Object*> doomed;
  doomed.swap(objects_);
  names_.clear();
  enterParents();  // counts as a change of names
  // The container's own handlers must not point at the behaviours deleted now (only behaviours
  // are handlers, so the other objects need no entry).
  std::unordered_set<const CMC_Object*> gone;
  for (CMC_Object* o : doomed)
    if (o->getType() == mc::TYPE_BEHAVIOUR && owns(o)) gone.insert(o);
  removeBehavioursOf(gone);
  for (CMC_Object* o : doomed)
    if (owns(o)) delete o;
}

void CMC_ObjectsContainer::onSubSceneDone(CMC_ObjectsContainer* scope) {
  onSceneDone(scope);
  for (CMC_Object* o : std::vector<CMC_Object*>(objects_)) o->onSceneDone(scope);
  if (parent_) parent_->onSubSceneDone(scope);
}

void CMC_ObjectsContainer::registerType(const CXString& typeName, CMC_ObjectMaker maker) {
  registry()[typeName.str()] = std::move(maker);
}

void CMC_ObjectsContainer::unregisterType(const CXString& typeName) {
  auto& makers = registry();
  auto it = makers.find(typeName.view());
  if (it != makers.end()) makers.erase(it);
}

std::vector<std::string> CMC_ObjectsContainer::registeredTypeNames() {
  std::vector<std::string> names;
  for (const auto& [name, maker] : registry())
    if (maker) names.push_back(name);
  return names;
}

bool CMC_ObjectsContainer::isTypeRegistered(const CXString& typeName) {
  auto& makers = registry();
  auto it = makers.find(typeName.view());
  return it != makers.end() && it->second;
}
