// CMC_Expression: splitting expression text, computing left to right without precedence.
#include "runtime/expression.h"

#include "foundation/log.h"
#include "runtime/behaviour.h"
#include "runtime/behaviour_entry.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable_factory.h"

namespace {

int operatorFromChar(char c) {
  switch (c) {
    case '+': return mc::OP_ADD;
    case '-': return mc::OP_SUB;
    case '*': return mc::OP_MUL;
    case '@': return mc::OP_DIV;
    case '%': return mc::OP_MOD;
    default: return 0;
  }
}

CMC_Variable* zero() {
  CMC_Integer* v = CMC_VariableFactory::allocInteger();
  v->setValue(0);
  return v;
}

// The value an operand yielded, as a variable: other objects stand for their name; nothing is 0.
CMC_Variable* operandValue(CMC_Object* r) {
  if (!r || mc::isControl(r)) return zero();
  if (CMC_Variable* v = mc::asVariable(r)) return v;
  return mc::pooledCopy(r);
}

}  // namespace

CMC_Expression::CMC_Expression(CMC_ObjectsContainer* scope, CMElement* element)
    : CMC_Variable(scope, element, mc::TYPE_EXPRESSION), scope_(scope), still_(true) {
  CXString a = elementValue(element, "OPERAND1");
  CXString b = elementValue(element, "OPERAND2");
  a.AllTrim(' ');
  b.AllTrim(' ');
  operandTexts_.push_back(a);
  int op = operatorFromWord(elementValue(element, "OPERATOR"));
  if (op) {
    operators_.push_back(op);
    operandTexts_.push_back(b);
  } else {
    TLOG_DEBUG("expression " << getName().c_str() << ": unknown OPERATOR " << elementValue(element, "OPERATOR").c_str());
  }
  setScene(scope);
  parseOperands();
  initializeBehaviours(scope, element);
}

CMC_Expression::CMC_Expression(CMC_ObjectsContainer* scope, const CXString& text, CMC_Behaviour* owner)
    : CMC_Variable(CXString("temp"), mc::TYPE_EXPRESSION), scope_(scope), owner_(owner) {
  setScene(scope);
  std::vector<std::string> pieces;
  split(text.view(), pieces, operators_);
  for (std::string& p : pieces) operandTexts_.emplace_back(std::move(p));
  parseOperands();
}

CMC_Expression::~CMC_Expression() = default;

void CMC_Expression::init() {
  CMC_Variable::init();
  parseOperands();
}

void CMC_Expression::parseOperands() {
  operands_.clear();
  fixed_.clear();
  for (const CXString& t : operandTexts_) {
    operands_.push_back(std::make_unique<CMC_Behaviour_Entry>(scope_, owner_, t));
    fixed_.push_back(operands_.back()->ownedValue());
  }
}

void CMC_Expression::split(std::string_view text, std::vector<std::string>& operands, std::vector<int>& operators) {
  std::string current;
  int brackets = 0;
  int parens = 0;
  for (char c : text) {
    if (c == ' ') continue;
    if (c == '[') ++brackets;
    if (c == ']' && brackets > 0) --brackets;
    if (c == '(') ++parens;
    if (c == ')' && parens > 0) --parens;
    int op = (brackets == 0 && parens == 0) ? operatorFromChar(c) : 0;
    // A "-" or "@" where an operand begins is part of it (a sign, an instruction), not an operator.
    if (op && !(current.empty() && (c == '-' || c == '@'))) {
      operands.push_back(std::move(current));
      current.clear();
      operators.push_back(op);
      continue;
    }
    current.push_back(c);
  }
  operands.push_back(std::move(current));
}

int CMC_Expression::operatorFromWord(const CXString& word) {
  if (word == "ADD") return mc::OP_ADD;
  if (word == "SUB") return mc::OP_SUB;
  if (word == "MUL") return mc::OP_MUL;
  if (word == "DIV") return mc::OP_DIV;
  if (word == "MOD") return mc::OP_MOD;
  return 0;
}

CMC_Variable* CMC_Expression::keepResult(CMC_Variable* value) const {
  if (value && value->getType() == mc::TYPE_EXPRESSION) value = static_cast<CMC_Expression*>(value)->calculate();
  if (!value || !isValueType(value->getType())) {
    result_ = nullptr;
    return nullptr;
  }
  std::unique_ptr<CMC_Variable>& slot = results_[value->getType() - 1];
  if (!slot) slot.reset(mc::makeVariable(value->getType(), CXString()));
  mc::copyValue(slot.get(), value);
  result_ = slot.get();
  return result_;
}

CMC_Variable* CMC_Expression::refuse() const {
  if (computing_) TLOG_ERROR("expression " << getName().c_str() << " refers to itself; result 0");
  else TLOG_ERROR("expression " << getName().c_str() << ": computed nested too deep (" << mc::ScriptDepth::depth()
                                << " levels); result 0");
  CMC_Variable* z = zero();
  CMC_Variable* out = keepResult(z);
  mc::release(z);
  return out;
}

CMC_Variable* CMC_Expression::compute() const {
  if (computing_ || !mc::ScriptDepth::enter()) return refuse();
  computing_ = true;
  CMC_Variable* out = nullptr;
  CMC_Variable* running = nullptr;
  // While the running value is an INTEGER it is kept here rather than in pooled temporaries; the
  // arithmetic is CMC_Integer's, so the result is the same.
  bool integerRun = false;
  int32_t integer = 0;
  for (size_t i = 0; i < operands_.size(); ++i) {
    CMC_Object* r = fixed_[i];
    if (!r) r = operands_[i]->boundValue();
    if (!r) r = operands_[i]->run(nullptr, nullptr);
    // An INTEGER while the run is one, the usual case, read in place (a named one needs no release).
    if ((i == 0 || integerRun) && r && !mc::isControl(r) && r->getType() == mc::TYPE_INTEGER) {
      auto* v = static_cast<CMC_Integer*>(r);
      integer = i == 0 ? v->getValue() : CMC_Integer::arithmetic(integer, v->getValue(), operatorBefore(i));
      integerRun = true;
      if (v->getPoolIndex() >= 0) mc::release(v);
      continue;
    }
    CMC_Variable* value = operandValue(r);
    if (i == 0) {
      if (value->getType() == mc::TYPE_INTEGER) {
        integerRun = true;
        integer = static_cast<CMC_Integer*>(value)->getValue();
        mc::release(value);
      } else {
        running = value;
      }
      continue;
    }
    int op = operatorBefore(i);
    if (integerRun) {
      integer = CMC_Integer::arithmetic(integer, value->asInteger(), op);
      mc::release(value);
      continue;
    }
    CMC_Variable* next = running->calculate(value, op);
    mc::release(running);
    mc::release(value);
    running = next;
  }
  if (integerRun) {
    std::unique_ptr<CMC_Variable>& slot = results_[mc::TYPE_INTEGER - 1];
    if (!slot) slot.reset(mc::makeVariable(mc::TYPE_INTEGER, CXString()));
    static_cast<CMC_Integer*>(slot.get())->setValue(integer);
    result_ = slot.get();
    out = result_;
  } else {
    if (!running) running = zero();
    out = keepResult(running);
    mc::release(running);
  }
  computing_ = false;
  mc::ScriptDepth::leave();
  return out;
}

CMC_Variable* CMC_Expression::calculate() { return compute(); }

bool CMC_Expression::equals(CMC_Variable* v) {
  CMC_Variable* r = compute();
  return r && r->equals(v);
}

int CMC_Expression::compare(CMC_Variable* v) {
  CMC_Variable* r = compute();
  return r ? r->compare(v) : 1;
}

CMC_Variable* CMC_Expression::convert(int type) {
  CMC_Variable* r = compute();
  return r ? r->convert(type) : nullptr;
}

CMC_Variable* CMC_Expression::calculate(CMC_Variable* other, int op) {
  CMC_Variable* r = compute();
  return r ? r->calculate(other, op) : nullptr;
}

CXString CMC_Expression::toString() const {
  CMC_Variable* r = compute();
  return r ? r->toString() : CXString();
}

int32_t CMC_Expression::asInteger() const {
  CMC_Variable* r = compute();
  return r ? r->asInteger() : 0;
}

double CMC_Expression::asDouble() const {
  CMC_Variable* r = compute();
  return r ? r->asDouble() : 0.0;
}

bool CMC_Expression::asBool() const {
  CMC_Variable* r = compute();
  return r && r->asBool();
}
