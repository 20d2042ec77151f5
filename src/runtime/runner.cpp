// CMC_Runner: argument readers, the common methods, and the runner registry.
#include "runtime/runner.h"

#include <pthread.h>

#include <algorithm>
#include <unordered_map>

#include "foundation/log.h"
#include "foundation/xarray.h"
#include "runtime/behaviour.h"
#include "runtime/condition.h"
#include "runtime/expression.h"
#include "runtime/instruction_runner.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"
#include "runtime/variable_runner.h"

namespace mc {

size_t ScriptDepth::stackBudget() {
  static const size_t budget = [] {
#ifdef __EMSCRIPTEN__
    // The browser build's one stack, as the linker made it.
    size_t size = static_cast<size_t>(emscripten_stack_get_base() - emscripten_stack_get_end());
#else
    size_t size = 8u << 20;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
      size_t reported = 0;
      if (pthread_attr_getstacksize(&attr, &reported) == 0 && reported > 0) size = reported;
      pthread_attr_destroy(&attr);
    }
#endif
    size = std::min<size_t>(size, 256u << 20);
    return size / 4 * 3;
  }();
  return budget;
}

void releaseObject(CMC_Object* result) {
  CMC_Variable* v = asVariable(result);
  if (v && v->getPoolIndex() >= 0) CMC_VariableFactory::free(v);
}

CMC_Variable* ValueHolder::copyOther(CMC_Variable* from) {
  const int type = from ? from->getType() : TYPE_NONE;
  if (!CMC_Variable::isValueType(type)) return nullptr;
  std::unique_ptr<CMC_Variable>& slot = byType_[type - TYPE_INTEGER];
  if (!slot) slot.reset(makeVariable(type, CXString()));
  copyValue(slot.get(), from);
  lent_ = slot.get();
  return lent_;
}

CXString textOf(CMC_Object* object) {
  if (!object || isControl(object)) return CXString();
  CMC_Variable* v = asVariable(object);
  if (!v) return object->getName();
  if (v->getType() == TYPE_STRING) return static_cast<CMC_String*>(v)->getValue();
  return v->toString();
}

CMC_Variable* pooledCopy(CMC_Object* object) {
  if (!object || isControl(object)) return nullptr;
  CMC_Variable* v = asVariable(object);
  if (!v) {
    CMC_String* s = CMC_VariableFactory::allocString();
    s->setValue(object->getName());
    return s;
  }
  if (v->getType() == TYPE_EXPRESSION) v = static_cast<CMC_Expression*>(v)->calculate();
  return v ? CMC_VariableFactory::copyVariable(v) : nullptr;
}

CMC_Variable* makeVariable(int type, const CXString& name) {
  switch (type) {
    case TYPE_INTEGER: return new CMC_Integer(name);
    case TYPE_STRING: return new CMC_String(name);
    case TYPE_BOOL: return new CMC_Bool(name);
    case TYPE_DOUBLE: return new CMC_Double(name);
    default: return nullptr;
  }
}

void copyValue(CMC_Variable* to, CMC_Variable* from) {
  if (!to || !from) return;
  switch (to->getType()) {
    case TYPE_INTEGER: static_cast<CMC_Integer*>(to)->setValue(from->asInteger()); break;
    case TYPE_STRING: static_cast<CMC_String*>(to)->setValue(from->getType() == TYPE_STRING ? static_cast<CMC_String*>(from)->getValue() : from->asString()); break;
    case TYPE_BOOL: static_cast<CMC_Bool*>(to)->setValue(from->asBool()); break;
    case TYPE_DOUBLE: static_cast<CMC_Double*>(to)->setValue(from->asDouble()); break;
    default: break;
  }
}

bool isBindable(const CMC_Object* object) {
  return object && !object->isTemporary() && !(object->getName() == "__RETURN__");
}

namespace {
FieldResolver g_fieldResolver = nullptr;

// Reaches the life token every object keeps (the accessor is protected in CMC_Object).
struct LifeAccess : CMC_Object {
  static std::weak_ptr<char> of(CMC_Object* object) { return (object->*(&LifeAccess::lifeToken))(); }
};
}  // namespace

std::weak_ptr<char> lifeOf(CMC_Object* object) {
  return object ? LifeAccess::of(object) : std::weak_ptr<char>();
}

void setFieldResolver(FieldResolver resolver) { g_fieldResolver = resolver; }

CMC_Object* resolveField(CMC_ObjectsContainer* scope, const CXString& text) {
  int bar = text.Find('|');
  if (bar < 0 || !g_fieldResolver) return nullptr;
  return g_fieldResolver(scope, text.Left(bar), text.Right(bar + 1));
}

}  // namespace mc

namespace {

CMC_Runner::MemberAdder g_arrayAdder = nullptr;
CMC_Runner::MemberAdder g_groupAdder = nullptr;
CMC_Runner::GroupFiller g_groupFiller = nullptr;

// The object an argument names: the argument itself when it is an object other than a value, else
// the object whose name is the argument's text.
CMC_Object* namedObject(const CMC_Args* args, int i, CMC_ObjectsContainer* scope) {
  if (i >= CMC_Runner::argCount(args)) return nullptr;
  CMC_Object* arg = (*args)[i];
  if (arg && !mc::isControl(arg) && !mc::asVariable(arg)) return arg;
  if (!scope) return nullptr;
  return scope->getObject(CMC_Runner::getParameterString(args, i));
}

// An event key written in a script argument: "$" stands for "^".
CXString eventKey(CXString key) { return key.Replace('$', '^'); }

}  // namespace

void CMC_Runner::setArrayAdder(MemberAdder adder) { g_arrayAdder = adder; }
void CMC_Runner::setGroupAdder(MemberAdder adder) { g_groupAdder = adder; }
void CMC_Runner::setGroupFiller(GroupFiller filler) { g_groupFiller = filler; }
bool CMC_Runner::fillGroup(CMC_Object* group, const std::vector<CMC_Object*>& members) {
  return group && group->getType() == mc::TYPE_GROUP && g_groupFiller && g_groupFiller(group, members);
}

void CMC_Runner::addMethods(MethodTable rows) {
  for (const MethodRow& row : rows) methods_[row.name] = row.id;
}

std::vector<std::string> CMC_Runner::methodNames() const {
  std::vector<std::string> names;
  names.reserve(methods_.size());
  for (const auto& entry : methods_) names.emplace_back(entry.first);
  std::sort(names.begin(), names.end());
  return names;
}

CMC_Runner::MethodTable CMC_Runner::commonMethods() {
  static constexpr MethodRow kMethods[] = {
      {"SEND", M_SEND},
      {"ADDTOGROUP", M_ADDTOGROUP},
      {"ADDTOARRAY", M_ADDTOARRAY},
      {"GETNAME", M_GETNAME},
      {"CLONE", M_CLONE},
      {"ADDBEHAVIOUR", M_ADDBEHAVIOUR},
      {"GETCLONEINDEX", M_GETCLONEINDEX},
      {"MSGBOX", M_MSGBOX},
      {"RESETCLONES", M_RESETCLONES},
      {"REMOVEBEHAVIOUR", M_REMOVEBEHAVIOUR},
      {"GETCLONESNO", M_GETCLONESNO},
      {"REMOVEALLBEHAVIOURS", M_REMOVEALLBEHAVIOURS},
      {"REMOVEBEHAVIOURFORCE", M_REMOVEBEHAVIOURFORCE},
      {"OVERIDESIGNALS", M_OVERIDESIGNALS},
  };
  return kMethods;
}

std::vector<CMC_Runner::MethodRow> CMC_Runner::methodTable() const {
  MethodTable own = ownMethods();
  std::vector<MethodRow> table;
  if (hasCommonMethods()) {
    for (const MethodRow& row : commonMethods()) {
      bool renamed = std::any_of(own.begin(), own.end(),
                                 [&row](const MethodRow& o) { return std::string_view(o.name) == row.name; });
      if (!renamed) table.push_back(row);
    }
  }
  table.insert(table.end(), own.begin(), own.end());
  return table;
}

void CMC_Runner::prepareMthHashSet() { addMethods(methodTable()); }

int CMC_Runner::resolveMethod(std::string_view name) const {
  auto it = methods_.find(name);
  return it == methods_.end() ? -1 : it->second;
}

CMC_Object* CMC_Runner::computed(CMC_Object* expression) {
  return static_cast<CMC_Expression*>(expression)->calculate();
}

bool CMC_Runner::getParameterBool(const CMC_Args* args, int i, bool fallback) {
  if (i < 0 || i >= argCount(args)) return fallback;
  CMC_Object* p = getParameter(args, i);
  if (CMC_Variable* v = mc::asVariable(p)) return v->asBool();
  return p ? p->getName().toBool() : false;
}

double CMC_Runner::getParameterDouble(const CMC_Args* args, int i, double fallback) {
  if (i < 0 || i >= argCount(args)) return fallback;
  CMC_Object* p = getParameter(args, i);
  if (CMC_Variable* v = mc::asVariable(p)) return v->asDouble();
  return p ? p->getName().toDouble() : 0.0;
}

int32_t CMC_Runner::convertedInteger(const CMC_Args* args, int i, int32_t fallback) {
  if (i < 0 || i >= argCount(args)) return fallback;
  CMC_Object* p = getParameter(args, i);
  if (CMC_Variable* v = mc::asVariable(p)) return v->asInteger();
  return p ? p->getName().toNumber() : 0;
}

CXString CMC_Runner::getParameterString(const CMC_Args* args, int i, const CXString& fallback) {
  if (i < 0 || i >= argCount(args)) return fallback;
  return mc::textOf(getParameter(args, i));
}

CMC_Object* CMC_Runner::getParameterObject(const CMC_Args* args, int i, CMC_ObjectsContainer* scope) {
  if (i < 0 || i >= argCount(args)) return nullptr;
  CMC_Object* raw = (*args)[i];
  if (!raw || mc::isControl(raw)) return nullptr;
  CMC_Variable* v = mc::asVariable(raw);
  if (!v) return raw;
  // A declared variable named as an argument arrives as itself; its text would be its value.
  if (v->getType() != mc::TYPE_EXPRESSION && v->getPoolIndex() < 0 && scope && !v->getName().isEmpty() &&
      scope->getObject(v->getName()) == v)
    return v;
  return scope ? scope->getObject(getParameterString(args, i)) : nullptr;
}

CMC_Object* CMC_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!target) return nullptr;
  switch (id) {
    case M_SEND: {
      CXString text = getParameterString(args, 0);
      target->onSignal(text.GetAt(0) == '@' ? text : CXString("ONSIGNAL^") + text);
      return nullptr;
    }
    case M_ADDTOGROUP: {
      // Crossed pairing: ADDTOGROUP adds to an ARRAY.
      CMC_Object* array = namedObject(args, 0, scope);
      if (array && array->getType() == mc::TYPE_ARRAY && g_arrayAdder) g_arrayAdder(array, target);
      return nullptr;
    }
    case M_ADDTOARRAY: {
      // Crossed pairing: ADDTOARRAY adds to a GROUP.
      CMC_Object* group = namedObject(args, 0, scope);
      if (group && group->getType() == mc::TYPE_GROUP && g_groupAdder) g_groupAdder(group, target);
      return nullptr;
    }
    case M_GETNAME: {
      CMC_String* s = CMC_VariableFactory::allocString();
      s->setValue(target->getName());
      return s;
    }
    case M_CLONE: {
      constexpr int kMaxClones = 100000;
      int n = getParameterInteger(args, 0, 1);
      if (n > kMaxClones) {
        TLOG_WARN("CLONE of " << target->getName().c_str() << ": " << n << " clones asked, " << kMaxClones << " made");
        n = kMaxClones;
      }
      if (n > 0) target->clone(n);
      return nullptr;
    }
    case M_ADDBEHAVIOUR: {
      int count = argCount(args);
      if (count < 2 || !scope) return nullptr;
      CXString key = eventKey(getParameterString(args, 0));
      CMC_Object* beh = namedObject(args, 1, scope);
      if (!beh || beh->getType() != mc::TYPE_BEHAVIOUR) {
        TLOG_DEBUG("ADDBEHAVIOUR on " << target->getName().c_str() << ": no behaviour named "
                                      << getParameterString(args, 1).c_str());
        return nullptr;
      }
      CXArray* params = nullptr;
      if (count > 2) {
        params = new CXArray(101, 0.75f);
        for (int i = 2; i < count; ++i) params->add(new CXString(getParameterString(args, i)));
      }
      target->addBehaviour(key, static_cast<CMC_Behaviour*>(beh), params, scope);
      return nullptr;
    }
    case M_GETCLONEINDEX: {
      CMC_Integer* v = CMC_VariableFactory::allocInteger();
      v->setValue(target->getCloneIdx());
      return v;
    }
    case M_MSGBOX:
      return nullptr;
    case M_RESETCLONES:
      target->resetClones();
      return nullptr;
    case M_REMOVEBEHAVIOUR:
      if (argCount(args) >= 1) target->removeBehaviour(eventKey(getParameterString(args, 0)), scope);
      return nullptr;
    case M_GETCLONESNO: {
      CMC_Integer* v = CMC_VariableFactory::allocInteger();
      v->setValue(target->getClonesNo());
      return v;
    }
    case M_REMOVEALLBEHAVIOURS:
      target->removeAllBehaviours();
      return nullptr;
    case M_REMOVEBEHAVIOURFORCE:
      if (argCount(args) >= 1) target->removeBehaviourForce(eventKey(getParameterString(args, 0)));
      return nullptr;
    case M_OVERIDESIGNALS:
      target->overideSignals(getParameterBool(args, 0));
      return nullptr;
    default:
      return nullptr;
  }
}

namespace {

struct Registry {
  std::unordered_map<int, CMC_RunnerFactory::Maker> makers;
  std::unordered_map<int, std::unique_ptr<CMC_Runner>> runners;
  bool initialized = false;
};

Registry& registry() {
  static Registry r;
  return r;
}

template <class T>
std::unique_ptr<CMC_Runner> make() {
  return std::make_unique<T>();
}

void registerBuiltins(Registry& r) {
  auto add = [&r](int type, CMC_RunnerFactory::Maker maker) {
    if (!r.makers.count(type)) r.makers[type] = maker;
  };
  add(mc::TYPE_NONE, &make<CMC_Instruction_Runner>);
  for (int t : {mc::TYPE_INTEGER, mc::TYPE_STRING, mc::TYPE_BOOL, mc::TYPE_DOUBLE, mc::TYPE_EXPRESSION})
    add(t, &make<CMC_Variable_Runner>);
  add(mc::TYPE_CONDITION, &make<CMC_BasicCondition_Runner>);
  add(mc::TYPE_COMPLEXCONDITION, &make<CMC_BasicCondition_Runner>);
  add(mc::TYPE_BEHAVIOUR, &make<CMC_Behaviour_Runner>);

  CMC_ObjectsContainer::registerType("CONDITION", [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* {
    return new CMC_Condition(s, e);
  });
  CMC_ObjectsContainer::registerType("COMPLEXCONDITION", [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* {
    return new CMC_ComplexCondition(s, e);
  });
  CMC_ObjectsContainer::registerType("EXPRESSION", [](CMC_ObjectsContainer* s, CMElement* e) -> CMC_Object* {
    return new CMC_Expression(s, e);
  });
}

std::unique_ptr<CMC_Runner> create(CMC_RunnerFactory::Maker maker) {
  std::unique_ptr<CMC_Runner> runner = maker();
  if (runner) runner->prepareMthHashSet();
  return runner;
}

}  // namespace

void CMC_RunnerFactory::initialize() {
  Registry& r = registry();
  registerBuiltins(r);
  r.runners.clear();
  for (const auto& [type, maker] : r.makers) r.runners[type] = create(maker);
  CMC_Behaviour::initTrash();
  r.initialized = true;
}

void CMC_RunnerFactory::done() {
  Registry& r = registry();
  r.runners.clear();
  r.initialized = false;
}

bool CMC_RunnerFactory::isInitialized() { return registry().initialized; }

std::vector<int> CMC_RunnerFactory::registeredTypes() {
  Registry& r = registry();
  if (!r.initialized) initialize();
  std::vector<int> types;
  for (const auto& [type, runner] : r.runners)
    if (runner) types.push_back(type);
  std::sort(types.begin(), types.end());
  return types;
}

CMC_Runner* CMC_RunnerFactory::getRunner(int type) {
  Registry& r = registry();
  if (!r.initialized) initialize();
  auto it = r.runners.find(type);
  return it == r.runners.end() ? nullptr : it->second.get();
}

CMC_Runner* CMC_RunnerFactory::getRunnerFor(CMC_Object* object) {
  if (!object || mc::isControl(object)) return nullptr;
  CMC_Runner* runner = getRunner(object->getType());
  return runner ? runner : object->getRunner();
}

void CMC_RunnerFactory::registerRunner(int type, Maker maker) {
  Registry& r = registry();
  r.makers[type] = maker;
  if (r.initialized) r.runners[type] = maker ? create(maker) : nullptr;
}
