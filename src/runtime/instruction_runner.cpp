// CMC_Instruction_Runner: IF, WHILE, LOOP, FOR, RETURN, the temporaries and the other "@" instructions.
#include "runtime/instruction_runner.h"

#include <cstdlib>
#include <memory>

#include "foundation/log.h"
#include "foundation/xrandom.h"
#include "runtime/behaviour.h"
#include "runtime/condition.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

CMC_Instruction_Runner::Creator g_creator = nullptr;
long g_whileLimit = CMC_Instruction_Runner::WHILE_LIMIT;

std::vector<CMC_Instruction_Runner::CreateRequest>& pending() {
  static std::vector<CMC_Instruction_Runner::CreateRequest> list;
  return list;
}

// A behaviour an instruction runs: a BEHAVIOUR argument, a visible behaviour named by the argument,
// or, when the argument names no object, its text run as code in a behaviour made for the occasion.
struct BehaviourArg {
  CMC_Behaviour* behaviour = nullptr;
  std::unique_ptr<CMC_Behaviour> temporary;
};

BehaviourArg behaviourFrom(const CMC_Args* args, int i, CMC_ObjectsContainer* scope) {
  BehaviourArg out;
  if (i >= CMC_Runner::argCount(args)) return out;
  CMC_Object* raw = (*args)[i];
  if (raw && !mc::isControl(raw) && raw->getType() == mc::TYPE_BEHAVIOUR) {
    out.behaviour = static_cast<CMC_Behaviour*>(raw);
    return out;
  }
  CXString text = CMC_Runner::getParameterString(args, i);
  if (text.isEmpty()) return out;
  CMC_Object* named = scope ? scope->getObject(text) : nullptr;
  if (named) {
    if (named->getType() == mc::TYPE_BEHAVIOUR) out.behaviour = static_cast<CMC_Behaviour*>(named);
    else TLOG_DEBUG("instruction argument " << text.c_str() << " names an object that is not a behaviour");
    return out;
  }
  out.temporary = std::make_unique<CMC_Behaviour>(scope, CXString("temp"), text);
  out.temporary->init();
  out.behaviour = out.temporary.get();
  return out;
}

// The name an instruction argument gives: a named object's own name, otherwise the argument's text.
CXString nameFrom(const CMC_Args* args, int i) {
  if (i >= CMC_Runner::argCount(args)) return CXString();
  CMC_Object* raw = (*args)[i];
  if (raw && !mc::isControl(raw)) {
    CMC_Variable* v = mc::asVariable(raw);
    if (!v || (v->getPoolIndex() < 0 && !v->getName().isEmpty() && v->getType() != mc::TYPE_EXPRESSION))
      return raw->getName();
  }
  return CMC_Runner::getParameterString(args, i);
}

// Evaluates the one-text condition of IF: comparisons joined by "&&" (all) or "||" (any).
bool textCondition(CMC_ObjectsContainer* scope, const CXString& text) {
  bool all = text.FindSubString("&&") >= 0;
  bool any = !all && text.FindSubString("||") >= 0;
  if (!all && !any) return CMC_Condition::valid(scope, text);
  CXString separator = all ? CXString("&&") : CXString("||");
  int start = 0;
  while (true) {
    int at = text.FindSubString(separator, start);
    CXString part = at < 0 ? text.Right(start) : text.Mid(start, at);
    bool holds = CMC_Condition::valid(scope, part);
    if (all && !holds) return false;
    if (any && holds) return true;
    if (at < 0) return all;
    start = at + 2;
  }
}

CMC_Integer* counterVariable(CMC_ObjectsContainer* scope) {
  if (!scope) return nullptr;
  CMC_Variable* v = scope->getVariable("_I_");
  if (v && v->getType() == mc::TYPE_INTEGER) return static_cast<CMC_Integer*>(v);
  auto* counter = new CMC_Integer(CXString("_I_"));
  counter->setScene(scope);
  scope->addObject(counter);
  return counter;
}

}  // namespace

void CMC_Instruction_Runner::setWhileLimit(long limit) { g_whileLimit = limit > 0 ? limit : WHILE_LIMIT; }
long CMC_Instruction_Runner::whileLimit() { return g_whileLimit; }
void CMC_Instruction_Runner::setCreator(Creator creator) { g_creator = creator; }
const std::vector<CMC_Instruction_Runner::CreateRequest>& CMC_Instruction_Runner::pendingCreates() { return pending(); }
void CMC_Instruction_Runner::clearPendingCreates() { pending().clear(); }

CMC_Runner::MethodTable CMC_Instruction_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"IF", IF},
      {"WHILE", WHILE},
      {"RETURN", RETURN},
      {"BREAK", BREAK},
      {"CONV", CONV},
      {"MSGBOX", MSGBOX},
      {"BOOL", BOOL},
      {"DOUBLE", DOUBLE},
      {"INT", INT},
      {"STRING", STRING},
      {"LOOP", LOOP},
      {"VALUE", VALUE},
      {"RUNONTIMER", RUNONTIMER},
      {"CREATE", CREATE},
      {"GETAPPLICATIONNAME", GETAPPLICATIONNAME},
      {"GETCURRENTSCENE", GETCURRENTSCENE},
      {"ONEBREAK", ONEBREAK},
      {"CONTINUE", CONTINUE},
      {"FOR", FOR},
  };
  return kMethods;
}

CMC_Object* CMC_Instruction_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  CMC_Behaviour* self = (target && target->getType() == mc::TYPE_BEHAVIOUR) ? static_cast<CMC_Behaviour*>(target) : nullptr;
  switch (id) {
    case IF:
      return runIf(self, scope, args);
    case WHILE:
      return runWhile(self, scope, args);
    case RETURN:
      return runReturn(self, scope, args);
    case BREAK:
      return mc::controlResult(mc::CODE_BREAK);
    case CONV: {
      CMC_Variable* value = mc::asVariable(getParameter(args, 0));
      int type = CMC_Object::getTypeId(getParameterString(args, 1));
      if (!value || !CMC_Variable::isValueType(type)) return nullptr;
      CMC_Variable* out = CMC_VariableFactory::alloc(type);
      mc::copyValue(out, value);
      return out;
    }
    case MSGBOX:
      TLOG_INFO("message box: " << getParameterString(args, 0).c_str());
      return nullptr;
    case BOOL:
      return runDeclare(mc::TYPE_BOOL, self, scope, args);
    case DOUBLE:
      return runDeclare(mc::TYPE_DOUBLE, self, scope, args);
    case INT:
      return runDeclare(mc::TYPE_INTEGER, self, scope, args);
    case STRING:
      return runDeclare(mc::TYPE_STRING, self, scope, args);
    case LOOP:
      return runLoop(self, scope, args, false);
    case FOR:
      return runLoop(self, scope, args, true);
    case VALUE: {
      if (argCount(args) < 1) return nullptr;
      CMC_Object* raw = (*args)[0];
      if (raw && !mc::isControl(raw) && !raw->getName().isEmpty() && !(mc::asVariable(raw) && mc::asVariable(raw)->getPoolIndex() >= 0))
        return raw->getType() == mc::TYPE_EXPRESSION ? mc::pooledCopy(raw) : raw;
      return scope ? scope->getObject(getParameterString(args, 0)) : nullptr;
    }
    case RUNONTIMER:
      return runOnTimer(scope, args);
    case CREATE:
      return runCreate(scope, args);
    case GETAPPLICATIONNAME: {
      CMC_ObjectsContainer* top = scope;
      while (top && top->getParent()) top = top->getParent();
      CMC_String* s = CMC_VariableFactory::allocString();
      s->setValue(top ? top->getName() : CXString());
      return s;
    }
    case GETCURRENTSCENE: {
      CMC_ObjectsContainer* scene = self && self->getScene() ? self->getScene() : scope;
      CMC_String* s = CMC_VariableFactory::allocString();
      s->setValue(scene ? scene->getName() : CXString());
      return s;
    }
    case ONEBREAK:
      return mc::controlResult(mc::CODE_ONE_BREAK);
    case CONTINUE:
      return mc::controlResult(mc::CODE_CONTINUE);
    default:
      return nullptr;
  }
}

namespace {

// A copy of a behaviour's code (and condition) named "timer_" and a random number, in the scope.
CMC_Behaviour* timerCopy(CMC_ObjectsContainer* scope, CMC_Behaviour* source) {
  CXString name;
  do {
    name = CXString("timer_") + CXString::toString(CXRandom::rand());
  } while (scope->getObject(name));
  auto* copy = new CMC_Behaviour(scope, name, source->getCode());
  copy->setConditionName(source->getConditionName());
  scope->addObject(copy);
  copy->init();
  copy->resolveCondition();
  return copy;
}

}  // namespace

CMC_Object* CMC_Instruction_Runner::runOnTimer(CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (!scope || argCount(args) < 3) return nullptr;
  if (!CMC_Behaviour::getTimerService()) {
    TLOG_DEBUG("RUNONTIMER: no timer service; nothing started");
    return nullptr;
  }
  BehaviourArg body = behaviourFrom(args, 2, scope);
  if (!body.behaviour) return nullptr;
  BehaviourArg final = behaviourFrom(args, 3, scope);
  CMC_Behaviour* copy = timerCopy(scope, body.behaviour);
  CMC_Behaviour* finalCopy = final.behaviour ? timerCopy(scope, final.behaviour) : nullptr;
  copy->runOnTimer(getParameterInteger(args, 0), getParameterInteger(args, 1), nullptr, finalCopy);
  return nullptr;
}

CMC_Object* CMC_Instruction_Runner::runIf(CMC_Behaviour* /*self*/, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  int n = argCount(args);
  bool holds = false;
  int thenIndex, elseIndex;
  if (n >= 4) {
    int op = CMC_Condition::operatorFromText(getParameterString(args, 1));
    CXString leftName = op == CMC_Condition::INSTANCEOF ? nameFrom(args, 0) : CXString();
    holds = CMC_Condition::validObjects(scope, (*args)[0], op, (*args)[2], leftName);
    thenIndex = 3;
    elseIndex = 4;
  } else if (n == 3) {
    holds = textCondition(scope, getParameterString(args, 0));
    thenIndex = 1;
    elseIndex = 2;
  } else {
    TLOG_DEBUG("IF with " << n << " arguments does nothing");
    return nullptr;
  }
  BehaviourArg branch = behaviourFrom(args, holds ? thenIndex : elseIndex, scope);
  if (!branch.behaviour) return nullptr;
  bool broke = branch.behaviour->run(branch.behaviour, nullptr, false);
  return broke ? mc::controlResult(mc::CODE_BREAK) : nullptr;
}

CMC_Object* CMC_Instruction_Runner::runWhile(CMC_Behaviour* self, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  if (argCount(args) < 4) return nullptr;
  int op = CMC_Condition::operatorFromText(getParameterString(args, 1));
  BehaviourArg body = behaviourFrom(args, 3, scope);
  CXString leftName = op == CMC_Condition::INSTANCEOF ? nameFrom(args, 0) : CXString();
  long iterations = 0;
  while (CMC_Condition::validObjects(scope, (*args)[0], op, (*args)[2], leftName)) {
    if (++iterations > g_whileLimit) {
      TLOG_ERROR("WHILE in behaviour " << (self ? self->getName().c_str() : "") << ": condition still holds after "
                                       << g_whileLimit << " runs; loop stopped");
      break;
    }
    if (!body.behaviour) continue;
    if (body.behaviour->run(nullptr, nullptr, false)) break;
  }
  return nullptr;
}

CMC_Object* CMC_Instruction_Runner::runReturn(CMC_Behaviour* self, CMC_ObjectsContainer* scope, const CMC_Args* args) {
  CMC_Variable* value = mc::asVariable(getParameter(args, 0));
  if (!value || !CMC_Variable::isValueType(value->getType())) return nullptr;
  CMC_ObjectsContainer* where = self && self->getScene() ? self->getScene() : scope;
  if (!where) return mc::pooledCopy(value);
  int index = where->getObjectId(CXString("__RETURN__"));
  CMC_Object* existing = index >= 0 ? where->getObject(index) : nullptr;
  if (existing && existing->getType() == value->getType()) {
    mc::copyValue(static_cast<CMC_Variable*>(existing), value);
  } else {
    if (existing) {
      // A statement of an outer line may still hold the old value: delete it with the trash.
      where->removeObject(existing);
      CMC_Behaviour::addToTrash(existing);
    }
    CMC_Variable* stored = mc::makeVariable(value->getType(), CXString("__RETURN__"));
    mc::copyValue(stored, value);
    stored->setScene(where);
    where->addObject(stored);
  }
  return mc::pooledCopy(value);
}

CMC_Object* CMC_Instruction_Runner::runDeclare(int type, CMC_Behaviour* self, CMC_ObjectsContainer* scope,
                                               const CMC_Args* args) {
  CXString name = nameFrom(args, 0);
  if (name.isEmpty() || !scope || scope->getObject(name)) return nullptr;
  CMC_Variable* variable = mc::makeVariable(type, name);
  if (CMC_Variable* value = mc::asVariable(getParameter(args, 1))) mc::copyValue(variable, value);
  variable->setAsTemporary();
  variable->setScene(scope);
  scope->addObject(variable);
  if (self) self->addTempObject(variable);
  return mc::pooledCopy(variable);
}

CMC_Object* CMC_Instruction_Runner::runLoop(CMC_Behaviour* self, CMC_ObjectsContainer* scope, const CMC_Args* args,
                                            bool withCounter) {
  int first = withCounter ? 1 : 0;
  CMC_Integer* counter = nullptr;
  if (withCounter) {
    CMC_Object* raw = argCount(args) > 0 ? (*args)[0] : nullptr;
    if (raw && !mc::isControl(raw) && raw->getType() == mc::TYPE_INTEGER) {
      counter = static_cast<CMC_Integer*>(raw);
    } else if (scope) {
      CMC_Variable* v = scope->getVariable(getParameterString(args, 0));
      if (v && v->getType() == mc::TYPE_INTEGER) counter = static_cast<CMC_Integer*>(v);
    }
    if (!counter) {
      TLOG_DEBUG("FOR in behaviour " << (self ? self->getName().c_str() : "") << ": the counter is no INTEGER");
      return nullptr;
    }
  } else {
    counter = counterVariable(scope);
  }
  BehaviourArg body = behaviourFrom(args, first, scope);
  int64_t start = getParameterInteger(args, first + 1);
  int64_t end = getParameterInteger(args, first + 2);
  int64_t step = std::llabs(static_cast<long long>(getParameterInteger(args, first + 3, 1)));
  if (step == 0) step = 1;
  if (!body.behaviour || start == end) return nullptr;
  body.behaviour->runCounting(counter, start, end, start < end ? step : -step);
  return nullptr;
}

CMC_Object* CMC_Instruction_Runner::runCreate(CMC_ObjectsContainer* scope, const CMC_Args* args) {
  CXString type = getParameterString(args, 0);
  CXString name = getParameterString(args, 1);
  if (!(type == "ANIMO" || type == "IMAGE" || type == "SOUND" || type == "BUTTON") || name.isEmpty()) return nullptr;
  if (g_creator && g_creator(scope, type, name)) return nullptr;
  TLOG_DEBUG("CREATE " << type.c_str() << " " << name.c_str() << ": no creator for the type yet");
  pending().push_back({type, name});
  return nullptr;
}
