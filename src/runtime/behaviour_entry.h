// CMC_Behaviour_Entry: one parsed statement of script code, and the text helpers of the script language.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/log.h"
#include "foundation/xobject.h"
#include "foundation/xstring.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"

class CXArray;
class CMC_Behaviour;
class CMC_Expression;
class CMC_ObjectsContainer;
class CMC_Object;
class CMC_Variable;

class CMC_Behaviour_Entry : public CXObject {
 public:
  enum class Kind {
    Instruction,  // "@NAME(...)": the instruction runner, the behaviour as target
    Call,         // OBJECT^METHOD(...)
    ParamCall,    // target name with "$": resolved after parameter substitution
    FieldCall,    // STRUCTURE|FIELD^METHOD(...)
    This,         // THIS^METHOD(...)
    Indirect,     // *VARIABLE^METHOD(...) or *[EXPRESSION]^METHOD(...)
    Value,        // a value fixed at parse time (object, expression or literal)
    ValueText,    // a value resolved from its text on every run
  };

  // Parses one statement of `behaviour` (names are looked up in the behaviour's scene).
  CMC_Behaviour_Entry(CMC_Behaviour* behaviour, const CXString& statement);
  // The same with an explicit scope; `behaviour` may be null (operands of declared expressions).
  // With valueOnly the text is read as a value (a name or a literal), never as a call.
  CMC_Behaviour_Entry(CMC_ObjectsContainer* scope, CMC_Behaviour* behaviour, const CXString& statement,
                      bool valueOnly = false);
  CMC_Behaviour_Entry(const CMC_Behaviour_Entry&) = delete;
  CMC_Behaviour_Entry& operator=(const CMC_Behaviour_Entry&) = delete;
  ~CMC_Behaviour_Entry() override;

  // Executes the statement: an object, a pooled temporary (the caller releases it), null, or a
  // control code (mc::controlCode).
  CMC_Object* run(CMC_Object* current, CXArray* params) {
    // The lines of behaviours are traced; the parts of a line (arguments, operands) are not.
    if (discardResult_ && tarnvik::log::enabled(tarnvik::log::Level::trace)) trace();
    if (CMC_Object* v = boundValue()) return v;
    return execute(current, params);
  }
  // The value fixed at parse time (an object still alive, an expression or a literal), else null.
  CMC_Object* boundValue() const {
    return (kind_ == Kind::Value && (!valueBound_ || !valueLife_.expired())) ? value_ : nullptr;
  }
  // The named object this statement stands for while it stays bound (found at parse time, or since
  // and no name changed), else null: an argument naming a variable takes it without running the
  // statement, and nothing to release comes of it.
  CMC_Object* boundName() const {
    if (kind_ == Kind::Value) return (valueBound_ && !valueLife_.expired()) ? value_ : nullptr;
    if (kind_ == Kind::ValueText && lateValueStillBound()) return lateValue_;
    return nullptr;
  }
  // A value fixed at parse time that the statement owns (an expression or a literal), else null.
  CMC_Object* ownedValue() const { return ownedValue_ ? value_ : nullptr; }

  // A line of a behaviour: its result is released unread, so methods need not make one.
  void setResultDiscarded(bool discarded) { discardResult_ = discarded; }
  Kind kind() const { return kind_; }
  const CXString& getText() const { return text_; }
  const CXString& getTargetName() const { return targetName_; }
  const CXString& getMethodName() const { return methodName_; }
  int getMethodId() const { return methodId_; }
  CMC_Object* getTarget() const { return target_; }
  int getArgumentCount() const;
  bool allArgumentsConstant() const { return allConstant_; }
  CMC_ObjectsContainer* getScope() const { return scope_; }
  CMC_Behaviour* getBehaviour() const { return behaviour_; }
  // The static check's view of a statement parsed in its scope: warns as the run would about a
  // literal target that is not there and a method its type does not have (the statement and its
  // argument statements). Names made from parameters are not judged, nor targets `madeAtRunTime`
  // says the game creates while it runs.
  void checkNames(const std::function<bool(std::string_view)>& madeAtRunTime = {});
  // The i-th argument as written (a literal's value, a name's text); empty when there is none.
  CXString getArgumentText(int i) const;
  // The i-th argument's text when it is a text literal fixed when the statement was parsed (not an
  // object's name, an expression, a call or a parameter); else empty.
  CXString getLiteralText(int i) const;
  // The statement the i-th argument runs (a call, a name looked up when it runs), else null.
  const CMC_Behaviour_Entry* getArgumentStatement(int i) const;

  // Splits code into statements: every blank is dropped, a ";" outside parentheses ends a statement,
  // and text after the last such ";" is not a statement.
  static std::vector<std::string> splitStatements(std::string_view code);
  // Splits an argument list at the commas outside parentheses ("" gives no argument).
  static std::vector<std::string> splitArguments(std::string_view text);
  // Parses code into entries of `behaviour`.
  static std::vector<std::unique_ptr<CMC_Behaviour_Entry>> getCodeLines(CMC_Behaviour* behaviour, const CXString& code);
  // Replaces "$1".."$9" by the parameter texts the run has; any other "$" stays.
  static CXString fillParams(const CXString& text, CXArray* params);
  // The text of a value (a STRING's own text, other values converted, an object's name).
  static CXString getStringValue(CMC_Object* value) { return mc::textOf(value); }
  // Next number of the inline behaviours "temp_N" and "xtemp_N".
  static int nextInlineNumber();

 private:
  struct Argument;
  struct RunState;

  void parse(const CXString& statement, bool valueOnly);
  void trace() const;
  CMC_Object* execute(CMC_Object* current, CXArray* params);
  CMC_Object* runValue(CXArray* params);
  // Evaluates the arguments into the slots of `state` (none when they are fixed), calls, releases.
  CMC_Object* call(CMC_Object* current, CXArray* params, RunState* state);
  CMC_Object* callNested(CMC_Object* current, CXArray* params);
  // Runs the statement's call by its kind once the arguments are ready.
  CMC_Object* dispatch(CMC_Object* current, CXArray* params, const CMC_Args* args);
  void parseCall(int caret, int open);
  void parseValue();
  void parseArguments(int open);
  // Binds the target found by name now; returns what was found (bound or not).
  CMC_Object* bindTarget();
  // Whether the bound target may still be used: alive and, when bound at run time, no name changed since.
  bool targetStillBound() const;
  // A value fixed now for a plain text (an object visible now, a literal), or null.
  CMC_Object* fixedValueFor(const CXString& text);
  CMC_Object* runValueText(CXArray* params);
  bool lateValueStillBound() const {
    return lateValue_ && lateValueVersion_ == CMC_ObjectsContainer::namesVersion() && !lateValueLife_.expired();
  }
  bool evaluateArguments(CMC_Object* current, CXArray* params, RunState& state);
  // Takes back this argument statement's copy in its holder; false when `value` is not it.
  bool giveBack(const CMC_Object* value) { return holder_ && holder_->giveBack(value); }
  // An argument whose text holds parameters, run as filled in for this run (kept out of the way of
  // evaluateArguments, whose usual arguments need none of its room).
  [[gnu::noinline]] CMC_Object* runParamArgument(const CXString& written, CMC_Object* current, CXArray* params,
                                                 RunState& state);
  void releaseArguments(RunState& state);
  // The expressions and inline behaviours made for one run's parameterised arguments leave with it.
  [[gnu::noinline]] void dropRunObjects(RunState& state);
  CMC_Object* callOn(CMC_Object* target, const CMC_Args* args);
  CMC_Object* lookupTarget(const CXString& name) const;
  const CXString& ownerName() const;
  // The mistakes a statement meets when it runs (the logger says each once and counts repeats): a
  // call on an object that does not exist, a method the target's type does not have.
  void warnUnknownObject();
  void warnUnknownMethod(CMC_Object* target, CMC_Runner* runner);
  void warnUnknownInstruction();

  CMC_ObjectsContainer* scope_ = nullptr;
  CMC_Behaviour* behaviour_ = nullptr;
  Kind kind_ = Kind::ValueText;
  CXString text_;
  CXString targetName_;
  CMC_Object* target_ = nullptr;
  std::weak_ptr<char> targetLife_;
  // A target found only at run time is bound until some container's names change (a nearer scope
  // may then hold the name): the names version it was bound under.
  bool targetLateBound_ = false;
  uint64_t targetVersion_ = 0;
  CMC_Runner* runner_ = nullptr;
  CXString methodName_;
  int methodId_ = -1;
  bool methodHasParam_ = false;
  // The bound method writes a plain value it copies out into the holder offered (see holder_).
  bool copiesIntoHolder_ = false;
  // The last dynamic target's runner and the method number resolved for it.
  CMC_Runner* cachedRunner_ = nullptr;
  int cachedId_ = -1;
  // Value statements: the fixed value (owned when it is a literal or an expression made here).
  CMC_Object* value_ = nullptr;
  std::unique_ptr<CMC_Object> ownedValue_;
  // A value that is an object of the scope: watched, and looked up again by name once deleted.
  bool valueBound_ = false;
  std::weak_ptr<char> valueLife_;
  bool textHasParam_ = false;
  // Value texts: the variable the name found last, kept while it lives and no name changed.
  CMC_Variable* lateValue_ = nullptr;
  std::weak_ptr<char> lateValueLife_;
  uint64_t lateValueVersion_ = 0;
  // Indirect targets: the variable's name or the target expression.
  std::unique_ptr<CMC_Expression> targetExpression_;
  CMC_Object* targetVariable_ = nullptr;
  std::weak_ptr<char> targetVariableLife_;

  std::vector<Argument> args_;
  bool hasArgumentList_ = false;
  bool allConstant_ = true;
  int running_ = 0;
  bool discardResult_ = false;
  std::unique_ptr<RunState> state_;
  // An argument that is a call: where a method copying out a plain value may put it (see
  // mc::ValueHolder); null for lines and everything else.
  std::unique_ptr<mc::ValueHolder> holder_;
};
