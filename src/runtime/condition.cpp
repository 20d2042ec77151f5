// CMC_Condition, CMC_ComplexCondition, the textual condition forms, and the condition runner.
#include "runtime/condition.h"

#include <cctype>

#include "foundation/log.h"
#include "runtime/behaviour.h"
#include "runtime/behaviour_entry.h"
#include "runtime/expression.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

const char* const kSuccess = "ONRUNTIMESUCCESS";
const char* const kFailed = "ONRUNTIMEFAILED";

CXString trimmed(CXString text) {
  text.AllTrim(' ');
  return text;
}

// An evaluated IF or WHILE argument as a comparison operand. Declared variables, expressions, numbers
// and booleans stand for themselves; a text is resolved in the scope like a condition operand.
// `owned` tells whether the caller must release the result.
CMC_Object* operandFrom(CMC_ObjectsContainer* scope, CMC_Object* arg, bool& owned) {
  owned = false;
  if (!arg || mc::isControl(arg)) return nullptr;
  CMC_Variable* v = mc::asVariable(arg);
  if (v) {
    if (v->getType() == mc::TYPE_EXPRESSION) return v;
    if (v->getPoolIndex() < 0 && !v->getName().isEmpty()) return v;
    if (v->getType() != mc::TYPE_STRING) return v;
  }
  owned = true;
  return CMC_Condition::resolveOperand(scope, mc::textOf(arg));
}

}  // namespace

CMC_BasicCondition::CMC_BasicCondition(CMC_ObjectsContainer* scope, CMElement* element, int type)
    : CMC_Object(scope, element, type) {
  setScene(scope);
}

CMC_BasicCondition::CMC_BasicCondition(CXString name, int type) : CMC_Object(std::move(name), type) {}

const CMC_EventList* CMC_BasicCondition::getBehavioursList() const {
  static const CMC_EventList list = makeEventList({kSuccess, kFailed});
  return &list;
}

void CMC_BasicCondition::fireOutcome(bool holds) {
  const CMC_HandlerList* list = getBehaviour(CXString(holds ? kSuccess : kFailed));
  if (!list) return;
  for (const CMC_HandlerEntry& entry : *list) {
    CMC_Behaviour* behaviour = entry.live();
    if (!behaviour) continue;
    // One handler runs; its parameters stay alive even if it unbinds itself.
    std::shared_ptr<CXArray> params = entry.params;
    behaviour->run(this, params.get(), true);
    return;
  }
}

bool CMC_BasicCondition::beginEvaluation() {
  if (evaluating_) {
    TLOG_ERROR("condition " << getName().c_str() << " refers to itself; it does not hold");
    return false;
  }
  if (!mc::ScriptDepth::enter()) {
    TLOG_ERROR("condition " << getName().c_str() << ": evaluated nested too deep (" << mc::ScriptDepth::depth()
                            << " levels); it does not hold");
    return false;
  }
  evaluating_ = true;
  return true;
}

CMC_Condition::CMC_Condition(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_BasicCondition(scope, element, mc::TYPE_CONDITION) {
  left_ = trimmed(elementValue(element, "OPERAND1"));
  right_ = trimmed(elementValue(element, "OPERAND2"));
  operator_ = operatorFromWord(trimmed(elementValue(element, "OPERATOR")));
  initializeBehaviours(scope, element);
}

CMC_Condition::CMC_Condition(CMC_ObjectsContainer* scope, CXString name, CXString left, int op, CXString right)
    : CMC_BasicCondition(std::move(name), mc::TYPE_CONDITION), left_(std::move(left)), right_(std::move(right)),
      operator_(op) {
  setScene(scope);
}

CMC_Condition::~CMC_Condition() = default;

void CMC_Condition::init() {
  CMC_Object::init();
  parseOperands();
}

void CMC_Condition::parseOperands() {
  leftEntry_ = std::make_unique<CMC_Behaviour_Entry>(getScene(), nullptr, left_);
  rightEntry_ = std::make_unique<CMC_Behaviour_Entry>(getScene(), nullptr, right_);
}

bool CMC_Condition::valid(bool fire) {
  if (!leftEntry_ || !rightEntry_) parseOperands();
  bool holds = false;
  if (beginEvaluation()) {
    CMC_Object* l = leftEntry_->run(nullptr, nullptr);
    CMC_Object* r = rightEntry_->run(nullptr, nullptr);
    if (mc::isControl(l)) l = nullptr;
    if (mc::isControl(r)) r = nullptr;
    holds = l && r && compareValues(l, r, operator_);
    mc::release(l);
    mc::release(r);
    endEvaluation();
    mc::ScriptDepth::leave();
  }
  if (fire) fireOutcome(holds);
  return holds;
}

int CMC_Condition::operatorFromWord(const CXString& word) {
  if (word == "EQUAL") return EQUAL;
  if (word == "NOTEQUAL") return NOTEQUAL;
  if (word == "LESS") return LESS;
  if (word == "LESSEQUAL") return LESSEQUAL;
  if (word == "GREATER") return GREATER;
  if (word == "GREATEREQUAL") return GREATEREQUAL;
  if (word == "INSTANCEOF") return INSTANCEOF;
  return 0;
}

int CMC_Condition::operatorFromText(const CXString& text) {
  CXString t = trimmed(text);
  if (t == "_" || t == "=" || t == "==") return EQUAL;
  if (t == "!_" || t == "<>" || t == "!=") return NOTEQUAL;
  if (t == "<") return LESS;
  if (t == "<_" || t == "<=") return LESSEQUAL;
  if (t == ">") return GREATER;
  if (t == ">_" || t == ">=") return GREATEREQUAL;
  if (t == "?") return INSTANCEOF;
  return operatorFromWord(t);
}

bool CMC_Condition::splitText(const CXString& text, CXString& left, int& op, CXString& right) {
  int apostrophe = text.Find('\'');
  if (apostrophe >= 0) {
    char before = text.GetAt(apostrophe - 1);
    int leftEnd = apostrophe - 1;
    if (before == '!') op = NOTEQUAL;
    else if (before == '<') op = LESSEQUAL;
    else if (before == '>') op = GREATEREQUAL;
    else {
      op = EQUAL;
      leftEnd = apostrophe;
    }
    left = text.Left(leftEnd);
    right = text.Right(apostrophe + 1);
    return true;
  }
  const char marks[] = {'<', '>', '?'};
  const int ops[] = {LESS, GREATER, INSTANCEOF};
  for (int i = 0; i < 3; ++i) {
    int at = text.Find(marks[i]);
    if (at >= 0) {
      op = ops[i];
      left = text.Left(at);
      right = text.Right(at + 1);
      return true;
    }
  }
  return false;
}

CMC_Object* CMC_Condition::resolveOperand(CMC_ObjectsContainer* scope, const CXString& text) {
  CXString t = trimmed(text);
  char first = t.GetAt(0);
  if (first == '[') {
    int end = t.lastChar() == ']' ? t.length() - 1 : t.length();
    CMC_Expression expression(scope, t.Mid(1, end));
    return mc::pooledCopy(expression.calculate());
  }
  // "CONV(" rather than just "CONV", so that a variable named, say, CONVOY is still a name.
  bool conv = t.startsWith("CONV(");
  if (conv || (t.Find('^') >= 0 && first != '"')) {
    CMC_Behaviour_Entry line(scope, nullptr, conv ? CXString("@") + t : t);
    CMC_Object* r = line.run(nullptr, nullptr);
    if (mc::isControl(r)) return nullptr;
    // A value the line owns dies with it: hand out a copy instead.
    if (r && (line.kind() == CMC_Behaviour_Entry::Kind::Value)) return mc::pooledCopy(r);
    return r;
  }
  if (first == '-' || std::isdigit(static_cast<unsigned char>(first))) return CMC_Variable::resolve(t);
  if (t.Find('|') >= 0) {
    if (CMC_Object* field = mc::resolveField(scope, t)) return field;
    return CMC_Variable::resolve(t);
  }
  if (CMC_Variable* v = scope ? scope->getVariable(t) : nullptr) return v;
  return CMC_Variable::resolve(t);
}

bool CMC_Condition::compareValues(CMC_Object* left, CMC_Object* right, int op) {
  CMC_Variable* lv = mc::asVariable(left);
  CMC_Variable* rv = mc::asVariable(right);
  CMC_Variable* lOwned = nullptr;
  CMC_Variable* rOwned = nullptr;
  // Objects other than values compare by their names.
  if (!lv && left) lv = lOwned = mc::pooledCopy(left);
  if (!rv && right) rv = rOwned = mc::pooledCopy(right);
  bool holds = false;
  if (lv && rv) {
    CMC_Variable* converted = nullptr;
    if (lv->getType() != mc::TYPE_EXPRESSION && rv->getType() != mc::TYPE_EXPRESSION && lv->getType() != rv->getType()) {
      converted = rv->convert(lv->getType());
      rv = converted;
    }
    if (rv) {
      switch (op) {
        case EQUAL: holds = lv->equals(rv); break;
        case NOTEQUAL: holds = !lv->equals(rv); break;
        case LESS: holds = lv->compare(rv) < 0; break;
        case LESSEQUAL: holds = lv->compare(rv) <= 0; break;
        case GREATER: holds = lv->compare(rv) > 0; break;
        case GREATEREQUAL: holds = lv->compare(rv) >= 0; break;
        default: holds = false; break;
      }
    }
    if (converted && converted != right) mc::release(converted);
  }
  mc::release(lOwned);
  mc::release(rOwned);
  return holds;
}

bool CMC_Condition::valid(CMC_ObjectsContainer* scope, const CXString& text) {
  CXString left, right;
  int op = 0;
  if (!splitText(text, left, op, right)) {
    // No operator: the text holds when its value reads as true.
    CMC_Object* v = resolveOperand(scope, text);
    CMC_Variable* var = mc::asVariable(v);
    bool holds = var && var->asBool();
    mc::release(v);
    return holds;
  }
  return valid(scope, left, right, op);
}

bool CMC_Condition::valid(CMC_ObjectsContainer* scope, const CXString& left, const CXString& op, const CXString& right) {
  int number = operatorFromText(op);
  if (!number) {
    TLOG_DEBUG("condition operator " << op.c_str() << " is not known; the condition does not hold");
    return false;
  }
  return valid(scope, left, right, number);
}

bool CMC_Condition::valid(CMC_ObjectsContainer* scope, const CXString& left, const CXString& right, int op) {
  if (op == INSTANCEOF) {
    CMC_Object* object = scope ? scope->getObject(trimmed(left)) : nullptr;
    return object && typeToString(object->getType()) == trimmed(right);
  }
  if (!mc::ScriptDepth::enter()) {
    TLOG_ERROR("condition " << left.c_str() << ": evaluated nested too deep (" << mc::ScriptDepth::depth() << " levels)");
    return false;
  }
  CMC_Object* l = resolveOperand(scope, left);
  CMC_Object* r = resolveOperand(scope, right);
  bool holds = l && r && compareValues(l, r, op);
  mc::release(l);
  mc::release(r);
  mc::ScriptDepth::leave();
  return holds;
}

bool CMC_Condition::validObjects(CMC_ObjectsContainer* scope, CMC_Object* left, int op, CMC_Object* right,
                                 const CXString& leftText) {
  if (op == INSTANCEOF) {
    CMC_Object* object = (left && !mc::asVariable(left)) ? left : (scope ? scope->getObject(leftText) : nullptr);
    return object && typeToString(object->getType()) == trimmed(mc::textOf(right));
  }
  if (!op) return false;
  bool ownLeft = false, ownRight = false;
  CMC_Object* l = operandFrom(scope, left, ownLeft);
  CMC_Object* r = operandFrom(scope, right, ownRight);
  bool holds = l && r && compareValues(l, r, op);
  if (ownLeft) mc::release(l);
  if (ownRight) mc::release(r);
  return holds;
}

CMC_ComplexCondition::CMC_ComplexCondition(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_BasicCondition(scope, element, mc::TYPE_COMPLEXCONDITION) {
  first_ = trimmed(elementValue(element, "CONDITION1"));
  second_ = trimmed(elementValue(element, "CONDITION2"));
  CXString op = trimmed(elementValue(element, "OPERATOR"));
  join_ = op == "AND" ? AND : (op == "OR" ? OR : 0);
  initializeBehaviours(scope, element);
}

CMC_ComplexCondition::CMC_ComplexCondition(CMC_ObjectsContainer* scope, CXString name, CXString first, int join,
                                           CXString second)
    : CMC_BasicCondition(std::move(name), mc::TYPE_COMPLEXCONDITION), first_(std::move(first)),
      second_(std::move(second)), join_(join) {
  setScene(scope);
}

bool CMC_ComplexCondition::valid(bool fire) {
  auto lookup = [this](const CXString& name) -> CMC_BasicCondition* {
    CMC_Object* o = getScene() ? getScene()->getObject(name) : nullptr;
    if (o && (o->getType() == mc::TYPE_CONDITION || o->getType() == mc::TYPE_COMPLEXCONDITION))
      return static_cast<CMC_BasicCondition*>(o);
    return nullptr;
  };
  bool holds = false;
  if (beginEvaluation()) {
    CMC_BasicCondition* a = lookup(first_);
    CMC_BasicCondition* b = lookup(second_);
    if (a && b) {
      if (join_ == AND) holds = a->valid(true) && b->valid(true);
      else if (join_ == OR) holds = a->valid(true) || b->valid(true);
    }
    endEvaluation();
    mc::ScriptDepth::leave();
  }
  if (fire) fireOutcome(holds);
  return holds;
}

CMC_Runner::MethodTable CMC_BasicCondition_Runner::ownMethods() const {
  static constexpr MethodRow kMethods[] = {
      {"CHECK", CHECK},
      {"BREAK", BREAK},
      {"ONE_BREAK", ONE_BREAK},
  };
  return kMethods;
}

CMC_Object* CMC_BasicCondition_Runner::run(int id, CMC_Object* target, CMC_ObjectsContainer* scope,
                                           const CMC_Args* args) {
  if (!target || (target->getType() != mc::TYPE_CONDITION && target->getType() != mc::TYPE_COMPLEXCONDITION))
    return CMC_Runner::run(id, target, scope, args);
  auto* condition = static_cast<CMC_BasicCondition*>(target);
  switch (id) {
    case CHECK: {
      CMC_Bool* b = CMC_VariableFactory::allocBool();
      b->setValue(condition->valid(getParameterBool(args, 0, true)));
      return b;
    }
    case BREAK:
      return condition->valid(getParameterBool(args, 0, true)) ? mc::controlResult(mc::CODE_BREAK) : nullptr;
    case ONE_BREAK:
      return condition->valid(getParameterBool(args, 0, true)) ? mc::controlResult(mc::CODE_ONE_BREAK) : nullptr;
    default:
      return CMC_Runner::run(id, target, scope, args);
  }
}
