// CMC_Behaviour_Entry: statement splitting, parsing of one statement, and its execution.
#include "runtime/behaviour_entry.h"

#include <cctype>

#include "foundation/log.h"
#include "foundation/spelling.h"
#include "foundation/xarray.h"
#include "runtime/behaviour.h"
#include "runtime/expression.h"
#include "runtime/objects_container.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

int g_inlineCounter = 0;

bool contains(const CXString& text, char c) { return text.Find(c) >= 0; }

// The text inside one pair of square brackets ("[A+B]" gives "A+B").
CXString stripBrackets(const CXString& text) {
  int begin = text.GetAt(0) == '[' ? 1 : 0;
  int end = text.lastChar() == ']' && text.length() > begin ? text.length() - 1 : text.length();
  return text.Mid(begin, end);
}

// Inline code "{...}" (optionally after a double quote): true with the code between the braces.
bool inlineCode(const CXString& text, CXString& code) {
  int begin = text.GetAt(0) == '"' ? 1 : 0;
  if (text.GetAt(begin) != '{') return false;
  int close = text.FindLast('}');
  code = close > begin ? text.Mid(begin + 1, close) : text.Right(begin + 1);
  return true;
}

bool isBoolWord(const CXString& text) { return text == "TRUE" || text == "FALSE"; }

// A literal that no object can be named like: quoted text, numbers, TRUE and FALSE.
bool isPlainLiteral(const CXString& text) {
  return text.GetAt(0) == '"' || CMC_Variable::isNumber(text) || isBoolWord(text);
}

// A literal value owned by the caller (not pooled).
std::unique_ptr<CMC_Object> makeLiteral(const CXString& text) {
  CMC_Variable* pooled = CMC_Variable::resolve(text);
  if (!pooled) return nullptr;
  std::unique_ptr<CMC_Object> out(mc::makeVariable(pooled->getType(), CXString()));
  mc::copyValue(static_cast<CMC_Variable*>(out.get()), pooled);
  mc::release(pooled);
  return out;
}

// A target name after parameter substitution may carry the quotes RUN puts around object names.
CXString unquote(CXString name) {
  if (name.GetAt(0) == '"') {
    name = name.Right(1);
    if (name.lastChar() == '"') name = name.Left(name.length() - 1);
  }
  return name;
}

const CXString& emptyName() {
  static const CXString empty;
  return empty;
}

}  // namespace

struct CMC_Behaviour_Entry::Argument {
  enum class Kind { Constant, Inline, Sub, ParamSub };
  Kind kind = Kind::Constant;
  // Constant and Inline: the value passed to the method.
  CMC_Object* value = nullptr;
  std::unique_ptr<CMC_Object> owned;
  std::unique_ptr<CMC_Behaviour_Entry> sub;
  // ParamSub: the argument text; Inline: the inline behaviour's name.
  CXString text;
  bool inlineHasParam = false;
  // Inline: the behaviour made for the code (it lives in the scope while this statement does).
  CMC_Behaviour* inlineBehaviour = nullptr;
};

struct CMC_Behaviour_Entry::RunState {
  CMC_Args values;
  // Whether a value may be a temporary to release or something made for this run to delete.
  bool temporaries = false;
  // Set when every value is fixed or a named object found without a run: the values then hold
  // until a name changes or an object is deleted (the names version and deletions seen here).
  bool named = false;
  uint64_t namesSeen = 0;
  uint64_t deletionsSeen = 0;
  std::vector<std::unique_ptr<CMC_Expression>> expressions;
  std::vector<CMC_Behaviour*> inlineBehaviours;
};

CMC_Behaviour_Entry::CMC_Behaviour_Entry(CMC_Behaviour* behaviour, const CXString& statement)
    : CMC_Behaviour_Entry(behaviour ? behaviour->getScene() : nullptr, behaviour, statement) {}

CMC_Behaviour_Entry::CMC_Behaviour_Entry(CMC_ObjectsContainer* scope, CMC_Behaviour* behaviour,
                                         const CXString& statement, bool valueOnly)
    : scope_(scope), behaviour_(behaviour) {
  parse(statement, valueOnly);
}

CMC_Behaviour_Entry::~CMC_Behaviour_Entry() {
  // Inline behaviours go with the statement, so re-parsing code (setParams) does not pile them up.
  // One the scope no longer holds was deleted with the scope already; one still running is deleted
  // with the trash.
  for (Argument& a : args_) {
    if (!a.inlineBehaviour || !scope_ || !scope_->removeObject(a.inlineBehaviour)) continue;
    if (a.inlineBehaviour->isRunning()) CMC_Behaviour::addToTrash(a.inlineBehaviour);
    else delete a.inlineBehaviour;
  }
}

int CMC_Behaviour_Entry::getArgumentCount() const { return static_cast<int>(args_.size()); }

int CMC_Behaviour_Entry::nextInlineNumber() { return ++g_inlineCounter; }

std::vector<std::string> CMC_Behaviour_Entry::splitStatements(std::string_view code) {
  std::vector<std::string> out;
  std::string current;
  int depth = 0;
  for (char c : code) {
    if (c == ' ') continue;
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      // An unmatched ")" does not push the depth below zero (the following ";" still ends the statement).
      if (depth > 0) --depth;
    } else if (c == ';' && depth == 0) {
      out.push_back(std::move(current));
      current.clear();
      continue;
    }
    current.push_back(c);
  }
  return out;
}

std::vector<std::string> CMC_Behaviour_Entry::splitArguments(std::string_view text) {
  std::vector<std::string> out;
  if (text.empty()) return out;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth > 0) --depth;
    } else if (c == ',' && depth == 0) {
      out.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  out.emplace_back(text.substr(start));
  return out;
}

std::vector<std::unique_ptr<CMC_Behaviour_Entry>> CMC_Behaviour_Entry::getCodeLines(CMC_Behaviour* behaviour,
                                                                                   const CXString& code) {
  std::vector<std::unique_ptr<CMC_Behaviour_Entry>> lines;
  for (std::string& statement : splitStatements(code.view())) {
    lines.push_back(std::make_unique<CMC_Behaviour_Entry>(behaviour, CXString(std::move(statement))));
    lines.back()->setResultDiscarded(true);
  }
  return lines;
}

CXString CMC_Behaviour_Entry::fillParams(const CXString& text, CXArray* params) {
  const std::string& in = text.str();
  int count = params ? params->size() : 0;
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char c = in[i];
    if (c == '$' && i + 1 < in.size() && in[i + 1] >= '1' && in[i + 1] <= '9') {
      int d = in[i + 1] - '0';
      if (d <= count) {
        if (const CXString* p = params->stringAt(d - 1)) out += p->str();
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
  return CXString(std::move(out));
}

const CXString& CMC_Behaviour_Entry::ownerName() const { return behaviour_ ? behaviour_->getName() : emptyName(); }

CMC_Object* CMC_Behaviour_Entry::lookupTarget(const CXString& name) const {
  // A name made at run time ("$1" filled in, an indirect target) may be a STRUCT|FIELD.
  if (CMC_Object* object = scope_ ? scope_->getObject(name) : nullptr) return object;
  return contains(name, '|') ? mc::resolveField(scope_, name) : nullptr;
}

void CMC_Behaviour_Entry::parse(const CXString& statement, bool valueOnly) {
  text_ = statement;
  if (text_.lastChar() == ';') text_ = text_.Left(text_.length() - 1);
  if (text_.isEmpty()) {
    kind_ = Kind::Value;
    return;
  }
  if (valueOnly) {
    parseValue();
    return;
  }
  char first = text_.GetAt(0);
  if (first == '@') {
    kind_ = Kind::Instruction;
    int open = text_.Find('(');
    methodName_ = open < 0 ? text_.Right(1) : text_.Mid(1, open);
    target_ = behaviour_;
    runner_ = CMC_RunnerFactory::getRunner(mc::TYPE_NONE);
    methodId_ = runner_ ? runner_->resolveMethod(methodName_.view()) : -1;
    parseArguments(open);
    return;
  }
  if (first == '*') {
    kind_ = Kind::Indirect;
    int caret;
    if (text_.GetAt(1) == '[') {
      // The target expression ends at its matching "]"; the caret follows it.
      int depth = 0;
      int end = -1;
      for (int i = 1; i < text_.length() && end < 0; ++i) {
        if (text_.GetAt(i) == '[') ++depth;
        if (text_.GetAt(i) == ']' && --depth == 0) end = i;
      }
      caret = text_.Find('^', end < 0 ? text_.length() : end + 1);
    } else {
      caret = text_.Find('^');
    }
    if (caret < 0) {
      TLOG_DEBUG(ownerName().c_str() << ": indirect statement without a method: " << text_.c_str());
      targetName_ = text_.Right(1);
      return;
    }
    int open = text_.Find('(', caret + 1);
    targetName_ = text_.Mid(1, caret);
    methodName_ = open < 0 ? text_.Right(caret + 1) : text_.Mid(caret + 1, open);
    if (targetName_.GetAt(0) == '[') {
      targetExpression_ = std::make_unique<CMC_Expression>(scope_, stripBrackets(targetName_), behaviour_);
    } else if (!contains(targetName_, '$')) {
      CMC_Object* v = lookupTarget(targetName_);
      if (mc::isBindable(v) && !contains(targetName_, '|')) {
        targetVariable_ = v;
        targetVariableLife_ = mc::lifeOf(v);
      }
    }
    parseArguments(open);
    return;
  }
  if (text_.startsWith("THIS^")) {
    kind_ = Kind::This;
    int open = text_.Find('(', 5);
    targetName_ = "THIS";
    methodName_ = open < 0 ? text_.Right(5) : text_.Mid(5, open);
    parseArguments(open);
    return;
  }
  int caret = text_.Find('^');
  if (first == '[' || first == '"' || caret < 0) {
    parseValue();
    return;
  }
  parseCall(caret, text_.Find('(', caret + 1));
}

void CMC_Behaviour_Entry::parseValue() {
  textHasParam_ = contains(text_, '$');
  if (text_.GetAt(0) == '[') {
    if (textHasParam_) {
      kind_ = Kind::ValueText;
      return;
    }
    ownedValue_ = std::make_unique<CMC_Expression>(scope_, stripBrackets(text_), behaviour_);
    value_ = ownedValue_.get();
    kind_ = Kind::Value;
    return;
  }
  if (!textHasParam_) {
    if (CMC_Object* v = fixedValueFor(text_)) {
      value_ = v;
      kind_ = Kind::Value;
      return;
    }
  }
  kind_ = Kind::ValueText;
}

CMC_Object* CMC_Behaviour_Entry::fixedValueFor(const CXString& text) {
  if (text.GetAt(0) != '"') {
    CMC_Object* found = lookupTarget(text);
    if (found) {
      // A STRUCT|FIELD is found again on every run: a database cursor's fields change with its row.
      if (!mc::isBindable(found) || contains(text, '|')) return nullptr;
      valueBound_ = true;
      valueLife_ = mc::lifeOf(found);
      return found;
    }
  }
  if (!isPlainLiteral(text)) return nullptr;
  ownedValue_ = makeLiteral(text);
  return ownedValue_.get();
}

void CMC_Behaviour_Entry::parseCall(int caret, int open) {
  targetName_ = text_.Left(caret);
  methodName_ = open < 0 ? text_.Right(caret + 1) : text_.Mid(caret + 1, open);
  if (contains(targetName_, '$')) {
    kind_ = Kind::ParamCall;
    methodHasParam_ = contains(methodName_, '$');
  } else if (contains(targetName_, '|')) {
    kind_ = Kind::FieldCall;
  } else {
    kind_ = Kind::Call;
    bindTarget();
  }
  parseArguments(open);
}

CMC_Object* CMC_Behaviour_Entry::bindTarget() {
  CMC_Object* found = lookupTarget(targetName_);
  if (!mc::isBindable(found)) return found;
  target_ = found;
  targetLife_ = mc::lifeOf(found);
  runner_ = CMC_RunnerFactory::getRunnerFor(found);
  methodId_ = runner_ ? runner_->resolveMethod(methodName_.view()) : -1;
  copiesIntoHolder_ = runner_ && methodId_ >= 0 && runner_->copiesIntoHolder(methodId_);
  return found;
}

bool CMC_Behaviour_Entry::targetStillBound() const {
  if (targetLife_.expired()) return false;
  return !targetLateBound_ || targetVersion_ == CMC_ObjectsContainer::namesVersion();
}

void CMC_Behaviour_Entry::parseArguments(int open) {
  if (open < 0) return;
  int end = text_.lastChar() == ')' ? text_.length() - 1 : text_.length();
  CXString argText = text_.Mid(open + 1, end);
  if (argText.isEmpty()) return;
  hasArgumentList_ = true;
  for (std::string& piece : splitArguments(argText.view())) {
    CXString text(std::move(piece));
    Argument a;
    bool hasParam = contains(text, '$');
    CXString code;
    if (text.GetAt(0) == '[' && !hasParam) {
      a.owned = std::make_unique<CMC_Expression>(scope_, stripBrackets(text), behaviour_);
      a.value = a.owned.get();
    } else if (text.GetAt(0) == '@' || hasParam || contains(text, '^')) {
      allConstant_ = false;
      if (inlineCode(text, code)) {
        a.kind = Argument::Kind::Inline;
        a.text = CXString("temp_") + CXString::toString(nextInlineNumber());
        auto* inlineBeh = new CMC_Behaviour(scope_, a.text, code);
        inlineBeh->init();
        if (scope_) {
          scope_->addObject(inlineBeh);
          a.inlineBehaviour = inlineBeh;
        } else {
          CMC_Behaviour::addToTrash(inlineBeh);
        }
        auto* name = new CMC_String(CXString("temp"), a.text);
        a.owned.reset(name);
        a.value = name;
        a.inlineHasParam = contains(code, '$');
      } else if (hasParam) {
        a.kind = Argument::Kind::ParamSub;
        a.text = text;
      } else {
        a.kind = Argument::Kind::Sub;
        a.sub = std::make_unique<CMC_Behaviour_Entry>(scope_, behaviour_, text);
        // Its result is read by this statement's method and given back in releaseArguments.
        a.sub->holder_ = std::make_unique<mc::ValueHolder>();
      }
    } else if (text.GetAt(0) == '&') {
      CXString rest = text.Right(1);
      CMC_Variable* v = scope_ ? scope_->getVariable(rest) : nullptr;
      if (v) {
        // The variable itself, watched like any object a statement names.
        allConstant_ = false;
        a.kind = Argument::Kind::Sub;
        a.sub = std::make_unique<CMC_Behaviour_Entry>(scope_, behaviour_, rest, true);
      } else {
        a.owned = makeLiteral(rest);
        a.value = a.owned.get();
      }
    } else {
      auto sub = std::make_unique<CMC_Behaviour_Entry>(scope_, behaviour_, text, true);
      if (sub->kind_ == Kind::Value && !sub->valueBound_) {
        // A literal fixed now: keep the value (and what owns it) and drop the statement.
        a.value = sub->value_;
        a.owned = std::move(sub->ownedValue_);
      } else {
        allConstant_ = false;
        a.kind = Argument::Kind::Sub;
        a.sub = std::move(sub);
      }
    }
    args_.push_back(std::move(a));
  }
  // The argument slots of a run: the values themselves when every one is fixed.
  state_ = std::make_unique<RunState>();
  for (const Argument& a : args_) state_->values.push_back(allConstant_ ? a.value : nullptr);
}

CMC_Object* CMC_Behaviour_Entry::runValueText(CXArray* params) {
  // Only a plain name that found a variable is kept, so none of the readings below applies to it.
  if (lateValueStillBound()) return lateValue_;
  CXString substituted;
  const CXString& text = textHasParam_ ? (substituted = fillParams(text_, params)) : text_;
  if (text.GetAt(0) == '[') {
    CMC_Expression expression(scope_, stripBrackets(text), behaviour_);
    return mc::pooledCopy(expression.calculate());
  }
  if (text.GetAt(0) == '"') return CMC_Variable::resolve(text);
  if (contains(text, '|')) {
    if (CMC_Object* field = mc::resolveField(scope_, text)) return field;
    return CMC_Variable::resolve(text);
  }
  lateValue_ = nullptr;
  if (CMC_Variable* v = scope_ ? scope_->getVariable(text) : nullptr) {
    // The same text finds the same variable until it is deleted or some name changes.
    if (!textHasParam_ && mc::isBindable(v)) {
      lateValue_ = v;
      lateValueLife_ = mc::lifeOf(v);
      lateValueVersion_ = CMC_ObjectsContainer::namesVersion();
    }
    return v;
  }
  return CMC_Variable::resolve(text);
}

CMC_Object* CMC_Behaviour_Entry::runParamArgument(const CXString& written, CMC_Object* current, CXArray* params,
                                                  RunState& state) {
  CXString text = fillParams(written, params);
  CXString code;
  CMC_Object* r = nullptr;
  if (text.GetAt(0) == '[') {
    state.expressions.push_back(std::make_unique<CMC_Expression>(scope_, stripBrackets(text), behaviour_));
    r = state.expressions.back().get();
  } else if (inlineCode(text, code)) {
    CXString name = CXString("xtemp_") + CXString::toString(nextInlineNumber());
    auto* beh = new CMC_Behaviour(scope_, name, code);
    beh->init();
    if (scope_) scope_->addObject(beh);
    state.inlineBehaviours.push_back(beh);
    CMC_String* s = CMC_VariableFactory::allocString();
    s->setValue(name);
    r = s;
  } else if (!contains(text, '^') && text.GetAt(0) != '@') {
    CMC_Variable* v = (scope_ && text.GetAt(0) != '"') ? scope_->getVariable(text) : nullptr;
    r = v ? v : CMC_Variable::resolve(text);
  } else {
    CMC_Behaviour_Entry fresh(scope_, behaviour_, text);
    r = fresh.run(current, params);
    if (mc::isControl(r)) r = nullptr;
    // A literal or expression the fresh statement owns dies with it: keep a pooled copy.
    if (r && r == fresh.ownedValue()) r = mc::pooledCopy(r);
  }
  return r;
}

bool CMC_Behaviour_Entry::evaluateArguments(CMC_Object* current, CXArray* params, RunState& state) {
  uint64_t names = CMC_ObjectsContainer::namesVersion();
  uint64_t deletions = CMC_Object::deletions();
  bool named = true;
  // The slots were sized with the state, one per argument.
  size_t i = 0;
  for (Argument& a : args_) {
    switch (a.kind) {
      case Argument::Kind::Constant:
        state.values[i] = a.value;
        break;
      case Argument::Kind::Inline:
        state.values[i] = a.value;
        if (a.inlineHasParam && a.inlineBehaviour) {
          a.inlineBehaviour->setParams(params);
          named = false;
        }
        break;
      case Argument::Kind::Sub: {
        if (CMC_Object* named = a.sub->boundName()) {
          state.values[i] = named;
          break;
        }
        CMC_Object* r = a.sub->run(current, params);
        state.values[i] = mc::isControl(r) ? nullptr : r;
        state.temporaries = true;
        break;
      }
      case Argument::Kind::ParamSub:
        state.temporaries = true;
        state.values[i] = runParamArgument(a.text, current, params, state);
        break;
    }
    ++i;
  }
  state.named = named && !state.temporaries;
  state.namesSeen = names;
  state.deletionsSeen = deletions;
  return true;
}

[[gnu::always_inline]] inline void CMC_Behaviour_Entry::releaseArguments(RunState& state) {
  // Named objects only: nothing to give back.
  if (!state.temporaries) return;
  state.temporaries = false;
  CMC_Object** value = state.values.data();
  for (const Argument& a : args_) {
    CMC_Object* v = *value;
    *value++ = nullptr;
    if (!v || a.kind == Argument::Kind::Constant || a.kind == Argument::Kind::Inline) continue;
    if (a.kind == Argument::Kind::ParamSub || !a.sub->giveBack(v)) mc::releaseObject(v);
  }
  if (!state.expressions.empty() || !state.inlineBehaviours.empty()) dropRunObjects(state);
}

void CMC_Behaviour_Entry::dropRunObjects(RunState& state) {
  state.expressions.clear();
  for (CMC_Behaviour* beh : state.inlineBehaviours) {
    if (scope_) scope_->removeObject(beh);
    if (beh->isRunning()) CMC_Behaviour::addToTrash(beh);
    else delete beh;
  }
  state.inlineBehaviours.clear();
}

CMC_Object* CMC_Behaviour_Entry::callOn(CMC_Object* target, const CMC_Args* args) {
  if (!target) return nullptr;
  CMC_Runner* runner = CMC_RunnerFactory::getRunnerFor(target);
  if (!runner) return nullptr;
  if (runner != cachedRunner_) {
    cachedRunner_ = runner;
    cachedId_ = runner->resolveMethod(methodName_.view());
  }
  if (cachedId_ < 0) warnUnknownMethod(target, runner);
  return runner->run(cachedId_, target, scope_, args);
}

void CMC_Behaviour_Entry::warnUnknownObject() {
  if (!tarnvik::log::mistakesWanted()) return;
  TLOG_WARN_AT(behaviour_ ? behaviour_->getOrigin() : tarnvik::log::Origin(),
               "no object " << targetName_.view() << " for " << targetName_.view() << "^" << methodName_.view());
}

void CMC_Behaviour_Entry::warnUnknownMethod(CMC_Object* target, CMC_Runner* runner) {
  if (!tarnvik::log::mistakesWanted() || !target || !runner) return;
  TLOG_WARN_AT(behaviour_ ? behaviour_->getOrigin() : tarnvik::log::Origin(),
               CMC_Object::typeToString(target->getType()).view()
                   << " " << target->getName().view() << " has no method " << methodName_.view()
                   << tarnvik::didYouMean(methodName_.view(), runner->methodNames()));
}

void CMC_Behaviour_Entry::warnUnknownInstruction() {
  if (!runner_ || !tarnvik::log::mistakesWanted()) return;
  TLOG_WARN_AT(behaviour_ ? behaviour_->getOrigin() : tarnvik::log::Origin(),
               "no instruction @" << methodName_.view() << tarnvik::didYouMean(methodName_.view(), runner_->methodNames()));
}

void CMC_Behaviour_Entry::checkNames(const std::function<bool(std::string_view)>& madeAtRunTime) {
  switch (kind_) {
    case Kind::Instruction:
      if (methodId_ < 0) warnUnknownInstruction();
      break;
    case Kind::Call:
      if (!target_) {
        if (!madeAtRunTime || !madeAtRunTime(targetName_.view())) warnUnknownObject();
      } else if (runner_ && methodId_ < 0) {
        warnUnknownMethod(target_, runner_);
      }
      break;
    default:
      break;
  }
  for (Argument& a : args_)
    if (a.sub) a.sub->checkNames(madeAtRunTime);
}

const CMC_Behaviour_Entry* CMC_Behaviour_Entry::getArgumentStatement(int i) const {
  return i >= 0 && i < static_cast<int>(args_.size()) ? args_[i].sub.get() : nullptr;
}

CXString CMC_Behaviour_Entry::getArgumentText(int i) const {
  if (i < 0 || i >= static_cast<int>(args_.size())) return CXString();
  const Argument& a = args_[i];
  if (a.sub) return a.sub->text_;
  if (a.kind == Argument::Kind::Constant) return mc::textOf(a.value);
  return a.text;
}

CXString CMC_Behaviour_Entry::getLiteralText(int i) const {
  if (i < 0 || i >= static_cast<int>(args_.size())) return CXString();
  const Argument& a = args_[i];
  bool literal = a.kind == Argument::Kind::Constant && a.owned && a.value == a.owned.get() &&
                 a.owned->getType() == mc::TYPE_STRING;
  return literal ? mc::textOf(a.value) : CXString();
}

void CMC_Behaviour_Entry::trace() const { TLOG_TRACE(ownerName().c_str() << ": " << text_.c_str()); }

CMC_Object* CMC_Behaviour_Entry::execute(CMC_Object* current, CXArray* params) {
  if (kind_ == Kind::Value || kind_ == Kind::ValueText) return runValue(params);
  if (!hasArgumentList_ || allConstant_) return call(current, params, nullptr);
  // A statement running again inside its own call (recursion) gets its own argument slots.
  if (running_ > 0) return callNested(current, params);
  return call(current, params, state_.get());
}

CMC_Object* CMC_Behaviour_Entry::runValue(CXArray* params) {
  if (kind_ == Kind::Value) {
    if (!valueBound_) return value_;
    // The object bound at parse time was deleted: from now on the name is looked up on every run.
    kind_ = Kind::ValueText;
    value_ = nullptr;
    valueBound_ = false;
  }
  return runValueText(params);
}

CMC_Object* CMC_Behaviour_Entry::callNested(CMC_Object* current, CXArray* params) {
  RunState nested;
  nested.values.resize(args_.size());
  return call(current, params, &nested);
}

CMC_Object* CMC_Behaviour_Entry::call(CMC_Object* current, CXArray* params, RunState* state) {
  const CMC_Args* args = hasArgumentList_ ? &state_->values : nullptr;
  if (state) {
    // Values of named objects still stand while no name changed and no object was deleted.
    if (!state->named || state->namesSeen != CMC_ObjectsContainer::namesVersion() ||
        state->deletionsSeen != CMC_Object::deletions()) {
      ++running_;
      evaluateArguments(current, params, *state);
      --running_;
    }
    args = &state->values;
  }
  ++running_;
  CMC_Object* result;
  // The usual statement: a call on the object bound by name, with a method its type has. The
  // arguments ran first, and may have deleted the target or changed names.
  if (kind_ == Kind::Call && target_ && methodId_ >= 0 && runner_ && targetStillBound()) {
    if (discardResult_) mc::ResultUse::discardNext(target_);
    else if (copiesIntoHolder_ && holder_ && !holder_->lent())
      mc::ResultInto::offer(target_, holder_.get());  // taken by the method first thing
    result = runner_->run(methodId_, target_, scope_, args);
    mc::ResultUse::clear();
  } else {
    result = dispatch(current, params, args);
  }
  --running_;
  if (state) releaseArguments(*state);
  return result;
}

CMC_Object* CMC_Behaviour_Entry::dispatch(CMC_Object* current, CXArray* params, const CMC_Args* args) {
  CMC_Object* result = nullptr;
  switch (kind_) {
    case Kind::Instruction:
      if (methodId_ < 0) warnUnknownInstruction();
      if (runner_) result = runner_->run(methodId_, behaviour_, scope_, args);
      break;
    case Kind::Call: {
      if (target_ && !targetStillBound()) {
        target_ = nullptr;
        runner_ = nullptr;
      }
      // A name that did not exist when the line was parsed is bound once it does.
      CMC_Object* found = target_;
      if (!found) {
        found = bindTarget();
        targetLateBound_ = true;
        targetVersion_ = CMC_ObjectsContainer::namesVersion();
      }
      if (target_) {
        if (methodId_ < 0) warnUnknownMethod(target_, runner_);
        if (discardResult_) mc::ResultUse::discardNext(target_);
        if (runner_) result = runner_->run(methodId_, target_, scope_, args);
        mc::ResultUse::clear();
      } else if (found) {
        result = callOn(found, args);
      } else {
        warnUnknownObject();
      }
      break;
    }
    case Kind::ParamCall: {
      CMC_Object* target = lookupTarget(unquote(fillParams(targetName_, params)));
      if (methodHasParam_) {
        CMC_Runner* runner = CMC_RunnerFactory::getRunnerFor(target);
        if (runner) result = runner->run(fillParams(methodName_, params), target, scope_, args);
      } else {
        result = callOn(target, args);
      }
      break;
    }
    case Kind::FieldCall:
      result = callOn(mc::resolveField(scope_, targetName_), args);
      break;
    case Kind::This: {
      CMC_Object* target = (scope_ && scope_->getType() == mc::TYPE_CLASS) ? scope_ : current;
      result = callOn(target, args);
      break;
    }
    case Kind::Indirect: {
      CXString name;
      if (targetExpression_) {
        name = mc::textOf(targetExpression_->calculate());
      } else {
        CMC_Object* v = targetVariableLife_.expired() ? nullptr : targetVariable_;
        if (!v) v = lookupTarget(unquote(fillParams(targetName_, params)));
        name = mc::textOf(v);
      }
      result = callOn(lookupTarget(name), args);
      break;
    }
    default:
      break;
  }
  return result;
}
