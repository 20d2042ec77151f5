// CLASS instances (class-file imports, constructors, methods, destructors) and the CNV loader.
#include "objects/program/class.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "application/game_check.h"
#include "application/scene.h"
#include "definitions/melement.h"
#include "definitions/melementsloader.h"
#include "files/file_search.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "graphics/window.h"
#include "runtime/behaviour.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

// NEW calls currently nested, and whether one was refused for nesting too deep: then every NEW
// until the outermost one returns is refused too, so a branching runaway constructor stops at once.
int g_nesting = 0;
bool g_tripped = false;

struct NestingGuard {
  NestingGuard() { ++g_nesting; }
  ~NestingGuard() {
    if (--g_nesting == 0) g_tripped = false;
  }
};

std::vector<CXString> textsFrom(const CMC_Args* args, int first) {
  std::vector<CXString> texts;
  for (int i = first; i < CMC_Runner::argCount(args); ++i) texts.push_back(CMC_Runner::getParameterString(args, i));
  return texts;
}

// Handlers anywhere up the chain that name one of `gone`, or that `scope` bound, are dropped.
void forgetHandlers(CMC_ObjectsContainer* container, const std::unordered_set<const CMC_Object*>& gone) {
  for (CMC_ObjectsContainer* c = container; c; c = c->getParent()) {
    c->removeBehavioursOf(gone);
    for (CMC_Object* o : c->objects())
      if (!gone.contains(o)) o->removeBehavioursOf(gone);
  }
}

}  // namespace

CMC_Class::CMC_Class(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_ObjectsContainer(scope ? scope->getWindow() : nullptr, element, scope, mc::TYPE_CLASS) {
  def_ = elementValue(element, "DEF");
  base_ = elementValue(element, "BASE");
  def_.AllTrim(' ');
  initializeBehaviours(scope, element);
}

CMC_Class::CMC_Class(const CXString& name, CMC_ObjectsContainer* scope, CMC_Class* cls)
    : CMC_ObjectsContainer(scope ? scope->getWindow() : nullptr, name, scope, mc::TYPE_CLASS) {
  setClass(cls);
  if (cls) {
    def_ = cls->def_;
    base_ = cls->base_;
  }
}

CMC_Class::~CMC_Class() = default;

void CMC_Class::addObject(CMC_Object* object) {
  if (object && isInstance() && !(object->getName() == "__RETURN__")) {
    int at = getObjectId(object->getName());
    CMC_Object* earlier = at >= 0 ? getObject(at) : nullptr;
    if (earlier && earlier != object) {
      // An earlier import's object stays reachable as SUPER_<name>.
      CMC_ObjectsContainer::removeObject(earlier);
      earlier->setName(CXString("SUPER_") + earlier->getName());
      CMC_ObjectsContainer::addObject(earlier);
    }
  }
  CMC_ObjectsContainer::addObject(object);
}

bool CMC_Class::serialize(CXArchive* archive) {
  if (!mc::serializeNameRecord(*this, archive)) return false;
  if (archive->isStoring()) {
    *archive << def_ << base_ << isInstance();
    if (!isInstance()) return archive->isOk();
    *archive << (getClass() ? getClass()->getName() : className_);
    std::string why;
    if (!mc::storeObjectList(archive, objects(), &why)) {
      TLOG_WARN("CLASS instance " << getName().view() << ": " << why);
      return false;
    }
    return archive->isOk();
  }
  CXString def, base, className;
  bool instance = false;
  *archive >> def >> base >> instance;
  if (instance) *archive >> className;
  if (!archive->isOk() || (instance && className.isEmpty())) return false;
  if (instance) {
    std::vector<CMC_Object*> read;
    if (!mc::restoreObjectList(archive, this, read)) {
      for (CMC_Object* o : read) delete o;
      return false;
    }
    // Objects keep the names they had, SUPER_ ones included.
    for (CMC_Object* o : read) CMC_ObjectsContainer::addObject(o);
    className_ = className;
    restored_ = true;
  }
  def_ = def;
  base_ = base;
  return true;
}

void CMC_Class::init() {
  if (restored_) {
    // A restored instance starts as a new one does: its class found, its objects initialised.
    restored_ = false;
    CMC_ObjectsContainer* scope = getScene();
    CMC_Object* found = scope ? scope->getObject(className_) : nullptr;
    if (found && found != this && found->getType() == mc::TYPE_CLASS && !static_cast<CMC_Class*>(found)->isInstance()) {
      setClass(static_cast<CMC_Class*>(found));
      className_ = CXString();
    } else {
      TLOG_WARN("CLASS instance " << getName().view() << ": its class " << className_.view() << " is not declared");
    }
    std::weak_ptr<char> alive = mc::lifeOf(this);
    for (CMC_Object* o : std::vector<CMC_Object*>(objects())) {
      if (alive.expired()) return;
      const auto& now = objects();
      if (std::find(now.begin(), now.end(), o) != now.end()) o->init();
    }
  }
  CMC_ObjectsContainer::init();
}

namespace {

CXString classFilePath(std::string_view file) {
  CXString name(file);
  name.AllTrim(' ');
  return name.isEmpty() ? name : CXString("$COMMON\\CLASSES\\") + name;
}

}  // namespace

std::vector<CXString> CMC_Class::classFiles() const {
  std::vector<CXString> files;
  std::string_view bases = base_.view();
  while (!bases.empty()) {
    size_t comma = bases.find(',');
    if (CXString path = classFilePath(bases.substr(0, comma)); !path.isEmpty()) files.push_back(path);
    if (comma == std::string_view::npos) break;
    bases.remove_prefix(comma + 1);
  }
  if (CXString path = classFilePath(def_.view()); !path.isEmpty()) files.push_back(path);
  return files;
}

bool CMC_Class::import(const CXString& path) {
  if (path.isEmpty()) return false;
  std::unique_ptr<CMElements> elements(CMElementsLoader::load(getWindow(), path));
  if (!elements) {
    const CMC_Object* declared = getClass() ? static_cast<const CMC_Object*>(getClass()) : this;
    TLOG_WARN_AT(declared->getOrigin(), "CLASS " << declared->getName().view() << ": cannot read " << path.view() << " (looked in "
                                                 << tarnvik::files::searchedPlaces(getWindow(), path) << ")");
    return false;
  }
  resolveObjects(elements.get());
  return true;
}

CMC_Object* CMC_Class::newInstance(const CXString& name, CMC_ObjectsContainer* scope,
                                   const std::vector<CXString>& params, CMC_Class** made) {
  if (made) *made = nullptr;
  if (!scope || name.isEmpty()) return nullptr;
  if (g_tripped || g_nesting >= kMaxNesting) {
    if (!g_tripped)
      TLOG_ERROR("CLASS " << getName().view() << ": instances created inside constructors nest deeper than "
                          << kMaxNesting << " levels (a constructor that creates its own class without end?); "
                          << "no further instance is created until the outermost NEW returns");
    g_tripped = true;
    return nullptr;
  }
  if (scope->getObjectId(name) >= 0) {
    TLOG_WARN("CLASS " << getName().view() << ": NEW of " << name.view() << ": that name is taken; no instance made");
    return nullptr;
  }
  NestingGuard guard;
  auto* instance = new CMC_Class(name, scope, this);
  for (const CXString& path : classFiles()) instance->import(path);
  scope->addObject(instance);
  std::weak_ptr<char> alive = mc::lifeOf(instance);
  for (CMC_Object* o : std::vector<CMC_Object*>(instance->objects())) {
    if (alive.expired()) return nullptr;
    const auto& now = instance->objects();
    if (std::find(now.begin(), now.end(), o) != now.end()) o->init();
  }
  if (alive.expired()) return nullptr;
  instance->init();
  if (alive.expired()) return nullptr;
  if (made) *made = instance;
  // The constructor runs inside the nesting count, so a constructor that makes its own class again
  // is counted on every level.
  return instance->callMethod(CXString("CONSTRUCTOR"), params);
}

CMC_Object* CMC_Class::callMethod(const CXString& name, const std::vector<CXString>& params) {
  int at = getObjectId(name);
  CMC_Object* method = at >= 0 ? getObject(at) : nullptr;
  if (!method || method->getType() != mc::TYPE_BEHAVIOUR) return nullptr;
  std::weak_ptr<char> alive = mc::lifeOf(this);
  CMC_ParamArray texts(params);
  static_cast<CMC_Behaviour*>(method)->run(this, params.empty() ? nullptr : texts.get(), true);
  if (alive.expired()) return nullptr;
  int slot = getObjectId(CXString("__RETURN__"));
  return slot >= 0 ? mc::pooledCopy(getObject(slot)) : nullptr;
}

CMC_Object* CMC_Class::destruct(const std::vector<CXString>& params) {
  if (!isInstance() || destructed_) return nullptr;
  destructed_ = true;
  return callMethod(CXString("DESTRUCTOR"), params);
}

bool CMC_Class::done(bool unloading) {
  if (!isInstance()) return CMC_Object::done(unloading);
  mc::release(destruct({}));
  std::unordered_set<const CMC_Object*> gone(objects().begin(), objects().end());
  unload();
  if (CMC_ObjectsContainer* parent = getParent()) {
    parent->onSubSceneDone(this);
    forgetHandlers(parent, gone);
  }
  return true;
}

CMC_Runner::MethodTable CMC_Class_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"NEW", NEW},
      {"DELETE", DELETE},
  };
  return kMethods;
}

CMC_Object* CMC_Class_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_CLASS) return CMC_Runner::run(id, target, scope, args);
  auto* cls = static_cast<CMC_Class*>(target);
  CMC_ObjectsContainer* where = scope ? scope : cls->getScene();
  switch (id) {
    case NEW: {
      if (cls->isInstance() || !where) return nullptr;
      return cls->newInstance(getParameterString(args, 0), where, textsFrom(args, 1));
    }
    case DELETE: {
      if (cls->isInstance() || !where) return nullptr;
      CMC_Object* found = where->getObject(getParameterString(args, 0));
      if (!found || found->getType() != mc::TYPE_CLASS || !static_cast<CMC_Class*>(found)->isInstance()) return nullptr;
      auto* instance = static_cast<CMC_Class*>(found);
      std::weak_ptr<char> alive = mc::lifeOf(instance);
      CMC_Object* result = instance->destruct(textsFrom(args, 1));
      if (alive.expired()) return result;
      CMC_ObjectsContainer* owner = instance->getScene();
      if (owner && owner->removeObject(instance)) {
        // Its objects may be running now (DELETE from one of its own methods): finish it here, free
        // it at the end of the tick.
        instance->done(false);
        CMC_Behaviour::addToTrash(instance);
      }
      return result;
    }
    default:
      if (const CXString* name = forwardedName(id)) {
        if (!cls->isInstance()) return nullptr;
        return cls->callMethod(*name, textsFrom(args, 0));
      }
      return CMC_Runner::run(id, target, scope, args);
  }
}

// The run-time loader.

CMC_CNVLoader::CMC_CNVLoader(const CXString& name) : CMC_Object(name, mc::TYPE_CNVLOADER) {}

bool CMC_CNVLoader::serialize(CXArchive* archive) { return mc::serializeNameRecord(*this, archive); }

namespace {

// The scene code runs for: a scene itself, or the current scene below an episode or the application.
CMC_ObjectsContainer* targetScene(CMC_ObjectsContainer* scope) {
  for (CMC_ObjectsContainer* c = scope; c; c = c->getParent()) {
    int type = c->getType();
    if (type == mc::TYPE_SCENE) return c;
    if (type == mc::TYPE_EPISODE || type == mc::TYPE_APPLICATION)
      if (auto* structure = dynamic_cast<CMC_Scene*>(c)) return structure->getCurrentScene();
  }
  return scope;
}

}  // namespace

bool CMC_CNVLoader::load(CMC_ObjectsContainer* scene, const CXString& fileName) {
  if (!scene || fileName.isEmpty()) return false;
  if (scene->getObjectId(fileName) >= 0) return false;  // loaded already (or the name is taken)
  std::unique_ptr<CMElements> elements(CMElementsLoader::load(scene->getWindow(), fileName));
  if (!elements) {
    TLOG_WARN("CNVLOADER: cannot read " << fileName.view());
    return false;
  }
  // Objects already in the scene are kept: an element of the same name would delete them, maybe
  // while they run.
  CMElements fresh(false);
  for (CMElement* e : *elements) {
    if (scene->getObjectId(e->getName()) >= 0 || e->getName() == fileName) {
      TLOG_WARN("CNVLOADER: " << fileName.view() << ": " << e->getName().view() << " exists already; skipped");
      continue;
    }
    fresh.add(e);
  }
  auto* group = new CMC_Groupped(fileName, scene);
  scene->addObject(group);
  std::unordered_set<CMC_Object*> before(scene->objects().begin(), scene->objects().end());
  scene->resolveObjects(&fresh);
  std::vector<CMC_Object*> made;
  for (CMC_Object* o : scene->objects())
    if (!before.contains(o)) made.push_back(o);
  std::weak_ptr<char> groupAlive = mc::lifeOf(group);
  for (CMC_Object* o : made) {
    const auto& now = scene->objects();
    if (std::find(now.begin(), now.end(), o) == now.end()) continue;
    if (!groupAlive.expired()) group->add(o);
    o->init();
  }
  return true;
}

bool CMC_CNVLoader::release(CMC_ObjectsContainer* scene, const CXString& fileName) {
  if (!scene) return false;
  int at = scene->getObjectId(fileName);
  CMC_Object* found = at >= 0 ? scene->getObject(at) : nullptr;
  if (!found || found->getType() != mc::TYPE_GROUP) return false;
  auto* group = static_cast<CMC_Groupped*>(found);
  // Each member after its clones; behaviours after the other objects, so that the ONDONE handlers
  // of the released objects can still run.
  std::vector<CMC_Object*> order;
  for (bool behaviours : {false, true}) {
    for (CMC_Object* member : group->getList()) {
      if ((member->getType() == mc::TYPE_BEHAVIOUR) != behaviours) continue;
      for (int i = 1; i <= member->getClonesNo(); ++i) {
        int c = scene->getObjectId(member->getName() + "_" + CXString::toString(i));
        if (c >= 0) order.push_back(scene->getObject(c));
      }
      order.push_back(member);
    }
  }
  order.push_back(group);
  std::unordered_set<const CMC_Object*> gone;
  for (CMC_Object* o : order) {
    // Only objects of this scene are finished here; a member from elsewhere stays where it is.
    if (gone.contains(o) || !scene->removeObject(o)) continue;
    gone.insert(o);
    o->done(false);
    CMC_Behaviour::addToTrash(o);
  }
  forgetHandlers(scene, gone);
  return true;
}

CMC_Runner::MethodTable CMC_CNVLoader_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"LOAD", LOAD},
      {"RELEASE", RELEASE},
  };
  return kMethods;
}

CMC_Object* CMC_CNVLoader_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_CNVLOADER) return CMC_Runner::run(id, target, scope, args);
  CMC_ObjectsContainer* scene = targetScene(scope ? scope : target->getScene());
  switch (id) {
    case LOAD:
      CMC_CNVLoader::load(scene, getParameterString(args, 0));
      return nullptr;
    case RELEASE:
      CMC_CNVLoader::release(scene, getParameterString(args, 0));
      return nullptr;
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerClassType() {
  CMC_ObjectsContainer::registerType("CLASS", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Class(scope, element);
  });
  mc::registerRecordType(mc::TYPE_CLASS, [](CMC_ObjectsContainer* scope) -> CMC_Object* {
    CMC_Object* made = new CMC_Class(CXString("temp"), scope, nullptr);
    made->setScene(scope);
    return made;
  });
  mc::registerRecordType(mc::TYPE_CNVLOADER, [](CMC_ObjectsContainer*) -> CMC_Object* {
    return new CMC_CNVLoader(CXString("temp"));
  });
  // The check reads a declared class's files as an instance would import them.
  registerImportedFiles(mc::TYPE_CLASS, "CLASS", [](CMC_Object& object) {
    auto& cls = static_cast<CMC_Class&>(object);
    return cls.isInstance() ? std::vector<CXString>() : cls.classFiles();
  });
  CMC_RunnerFactory::registerRunner<CMC_Class_Runner>(mc::TYPE_CLASS);
  CMC_RunnerFactory::registerRunner<CMC_CNVLoader_Runner>(mc::TYPE_CNVLOADER);
}

}  // namespace tarnvik
