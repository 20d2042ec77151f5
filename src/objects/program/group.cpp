// GROUP objects: membership that follows the members' lifetime, the marker, forwarding by name.
#include "objects/program/group.h"

#include <algorithm>

#include "files/state_fields.h"
#include "files/xarchive.h"
#include "foundation/log.h"
#include "runtime/records/object_records.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

CMC_Groupped::CMC_Groupped(CMC_ObjectsContainer* scope, CMElement* element) : CMC_Object(scope, element, mc::TYPE_GROUP) {
  initializeBehaviours(scope, element);
}

CMC_Groupped::CMC_Groupped(const CXString& name, CMC_ObjectsContainer* scope) : CMC_Object(name, mc::TYPE_GROUP) {
  setScene(scope);
}

CMC_Groupped::~CMC_Groupped() = default;

CXObject* CMC_Groupped::clone() const {
  auto* copy = new CMC_Groupped(CXString("cloned"), getScene());
  prune();
  copy->members_ = members_;
  return copy;
}

bool CMC_Groupped::serialize(CXArchive* archive) {
  if (!mc::serializeNameRecord(*this, archive)) return false;
  if (archive->isStoring()) {
    std::vector<CMC_Object*> members = getList();
    *archive << static_cast<int32_t>(marker_) << static_cast<int32_t>(members.size());
    for (CMC_Object* m : members) *archive << m->getName();
    return archive->isOk();
  }
  int32_t marker = -1;
  int32_t n = 0;
  *archive >> marker;
  if (!mc::readRecordCount(archive, n, 4)) return false;
  std::vector<CXString> names(static_cast<size_t>(n));
  for (CXString& name : names) *archive >> name;
  if (!archive->isOk()) return false;
  marker_ = marker;
  pendingMembers_ = std::move(names);
  return true;
}

bool CMC_Groupped::serializeState(CXArchive* archive) {
  std::vector<CMC_Object*> members = getList();
  int32_t marker = marker_, n = static_cast<int32_t>(members.size());
  if (!saved::fields(archive, marker) || (archive->isLoading() && !mc::readRecordCount(archive, n, 4))) return false;
  if (archive->isStoring()) *archive << n;
  std::vector<CXString> names(static_cast<size_t>(n));
  for (size_t i = 0; i < names.size(); ++i) {
    if (archive->isStoring()) names[i] = members[i]->getName();
    if (!saved::fields(archive, names[i])) return false;
  }
  if (archive->isStoring()) return true;
  marker_ = marker;
  members_.clear();
  CMC_ObjectsContainer* scope = getScene();
  for (const CXString& name : names)
    if (CMC_Object* member = scope ? scope->getObject(name) : nullptr) add(member);
  return true;
}

void CMC_Groupped::initializeBehaviours(CMC_ObjectsContainer* scope, CMElement* element) {
  CMC_Object::initializeBehaviours(scope, element);
  if (element || pendingMembers_.empty()) return;
  for (const CXString& name : pendingMembers_) {
    CMC_Object* member = scope ? scope->getObject(name) : nullptr;
    if (!member || !add(member))
      TLOG_WARN("GROUP " << getName().view() << ": saved member " << name.view() << " is not here; left out");
  }
  pendingMembers_.clear();
}

void CMC_Groupped::prune() const {
  std::erase_if(members_, [](const Member& m) { return m.life.expired(); });
}

bool CMC_Groupped::contains(const CMC_Object* object) const {
  if (!object) return false;
  prune();
  return std::any_of(members_.begin(), members_.end(), [object](const Member& m) { return m.object == object; });
}

bool CMC_Groupped::add(CMC_Object* object) {
  if (!object || mc::isControl(object) || object == this || contains(object)) return false;
  members_.push_back({object, mc::lifeOf(object)});
  return true;
}

bool CMC_Groupped::remove(CMC_Object* object) {
  prune();
  auto it = std::find_if(members_.begin(), members_.end(), [object](const Member& m) { return m.object == object; });
  if (it == members_.end()) return false;
  members_.erase(it);
  return true;
}

CMC_Object* CMC_Groupped::get(int index) const {
  prune();
  return index >= 0 && index < static_cast<int>(members_.size()) ? members_[static_cast<size_t>(index)].object : nullptr;
}

int CMC_Groupped::getSize() const {
  prune();
  return static_cast<int>(members_.size());
}

std::vector<CMC_Object*> CMC_Groupped::getList() const {
  prune();
  std::vector<CMC_Object*> list;
  list.reserve(members_.size());
  for (const Member& m : members_) list.push_back(m.object);
  return list;
}

void CMC_Groupped::addClones(const CXString& name, int first, int last) {
  CMC_ObjectsContainer* scope = getScene();
  if (!scope) return;
  constexpr int kMaxClones = 100000;
  if (last - first >= kMaxClones) last = first + kMaxClones - 1;
  for (int i = first; i <= last; ++i) {
    CMC_Object* clone = scope->getObject(name + "_" + CXString::toString(i));
    if (clone && clone != this) members_.push_back({clone, mc::lifeOf(clone)});
  }
}

CMC_Object* CMC_Groupped::next(int step) {
  int size = getSize();
  if (size == 0) return nullptr;
  int64_t m = (static_cast<int64_t>(marker_) + step) % size;
  marker_ = static_cast<int>(m < 0 ? m + size : m);
  return get(marker_);
}

void CMC_Groupped::forward(const CXString& method, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  prune();
  std::vector<Member> snapshot = members_;
  // A group that holds itself through another group would pass the call round for ever.
  if (!mc::ScriptDepth::enter()) {
    TLOG_ERROR("group " << getName().view() << ": " << method.view() << " passed on too deeply (groups within groups "
                                                                        "in a circle?); stopped");
    return;
  }
  for (const Member& m : snapshot) {
    if (m.life.expired()) continue;
    CMC_Runner* runner = CMC_RunnerFactory::getRunnerFor(m.object);
    if (!runner) continue;
    CMC_Object* result = runner->run(method, m.object, scope, args);
    mc::release(result);
  }
  mc::ScriptDepth::leave();
}

int CMC_ForwardingRunner::resolveMethod(std::string_view name) const {
  int id = CMC_Runner::resolveMethod(name);
  if (id >= 0 || name.empty()) return id;
  auto it = ids_.find(name);
  if (it != ids_.end()) return it->second;
  if (static_cast<int>(names_.size()) >= kMaxForwardNames) {
    TLOG_WARN("too many different method names passed on; " << name << " is not");
    return -1;
  }
  int fresh = kForwardBase + static_cast<int>(names_.size());
  names_.emplace_back(name);
  ids_.emplace(std::string(name), fresh);
  return fresh;
}

const CXString* CMC_ForwardingRunner::forwardedName(int id) const {
  int i = id - kForwardBase;
  return i >= 0 && i < static_cast<int>(names_.size()) ? &names_[static_cast<size_t>(i)] : nullptr;
}

CMC_Runner::MethodTable CMC_Groupped_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"ADD", ADD},
      {"REMOVE", REMOVE},
      {"REMOVEALL", REMOVEALL},
      {"GETSIZE", GETSIZE},
      {"GETNAME", GETNAME},
      {"PREV", PREV},
      {"NEXT", NEXT},
      {"RESETMARKER", RESETMARKER},
      {"GETMARKERPOS", GETMARKERPOS},
      {"SETMARKERPOS", SETMARKERPOS},
      {"GETNAMEATMARKER", GETNAMEATMARKER},
      {"ADDCLONES", ADDCLONES},
      {"CONTAINS", CONTAINS},
  };
  return kMethods;
}

namespace {

CMC_Object* nameOf(CMC_Object* member) {
  return member ? CMC_VariableFactory::string(member->getName()) : nullptr;
}

CMC_Object* objectArg(const CMC_Args* args, int i, CMC_ObjectsContainer* scope) {
  return CMC_Runner::getParameterObject(args, i, scope);
}

}  // namespace

CMC_Object* CMC_Groupped_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target || target->getType() != mc::TYPE_GROUP) return CMC_Runner::run(id, target, scope, args);
  auto* group = static_cast<CMC_Groupped*>(target);
  CMC_ObjectsContainer* where = scope ? scope : group->getScene();
  switch (id) {
    case ADD:
      for (int i = 0; i < argCount(args); ++i) group->add(objectArg(args, i, where));
      return nullptr;
    case REMOVE:
      group->remove(objectArg(args, 0, where));
      return nullptr;
    case REMOVEALL:
      group->removeAll();
      return nullptr;
    case GETSIZE:
      return CMC_VariableFactory::integer(group->getSize());
    case GETNAME:
      return nameOf(group->get(getParameterInteger(args, 0)));
    case PREV:
      return nameOf(group->prev(getParameterInteger(args, 0, 1)));
    case NEXT:
      return nameOf(group->next(getParameterInteger(args, 0, 1)));
    case RESETMARKER:
      group->resetMarker();
      return nullptr;
    case GETMARKERPOS:
      return CMC_VariableFactory::integer(group->getMarkerPos());
    case SETMARKERPOS:
      group->setMarkerPos(getParameterInteger(args, 0));
      return nullptr;
    case GETNAMEATMARKER:
      return nameOf(group->get(group->getMarkerPos()));
    case ADDCLONES: {
      CMC_Object* object = objectArg(args, 0, where);
      if (!object) return nullptr;
      group->addClones(object->getName(), getParameterInteger(args, 1, 1),
                       getParameterInteger(args, 2, object->getClonesNo()));
      return nullptr;
    }
    case CONTAINS:
      return CMC_VariableFactory::boolean(group->contains(objectArg(args, 0, where)));
    default:
      if (const CXString* name = forwardedName(id)) {
        group->forward(*name, scope, args);
        return nullptr;
      }
      return CMC_Runner::run(id, target, scope, args);
  }
}

namespace tarnvik {

void registerGroupType() {
  CMC_ObjectsContainer::registerType("GROUP", [](CMC_ObjectsContainer* scope, CMElement* element) -> CMC_Object* {
    return new CMC_Groupped(scope, element);
  });
  mc::registerRecordType(mc::TYPE_GROUP, [](CMC_ObjectsContainer* scope) -> CMC_Object* {
    CMC_Object* made = new CMC_Groupped(CXString("temp"), scope);
    made->setScene(scope);
    return made;
  });
  CMC_RunnerFactory::registerRunner<CMC_Groupped_Runner>(mc::TYPE_GROUP);
  // Crossed pairing: the common ADDTOARRAY adds to a GROUP.
  CMC_Runner::setGroupAdder(
      [](CMC_Object* group, CMC_Object* member) { return static_cast<CMC_Groupped*>(group)->add(member); });
  CMC_Runner::setGroupFiller([](CMC_Object* group, const std::vector<CMC_Object*>& members) {
    auto* g = static_cast<CMC_Groupped*>(group);
    g->removeAll();
    for (CMC_Object* m : members) g->add(m);
    return true;
  });
}

}  // namespace tarnvik
