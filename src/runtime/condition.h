// CMC_Condition and CMC_ComplexCondition: comparisons of two operands and joins of two conditions,
// their textual forms used by IF and WHILE, and their runner.
#pragma once

#include <memory>

#include "foundation/xstring.h"
#include "runtime/object.h"
#include "runtime/runner.h"

class CMElement;
class CMC_Behaviour_Entry;
class CMC_ObjectsContainer;
class CMC_Variable;

class CMC_BasicCondition : public CMC_Object {
 public:
  enum Operator { EQUAL = 1, NOTEQUAL = 2, LESS = 3, LESSEQUAL = 4, GREATER = 5, GREATEREQUAL = 6, INSTANCEOF = 7 };

  CMC_BasicCondition(CMC_ObjectsContainer* scope, CMElement* element, int type);
  CMC_BasicCondition(CXString name, int type);

  // ONINIT, ONDONE, ONSIGNAL, ONRUNTIMESUCCESS, ONRUNTIMEFAILED.
  const CMC_EventList* getBehavioursList() const override;
  // Evaluates; with fire set also runs the outcome handler.
  virtual bool valid(bool fire) = 0;

 protected:
  // Runs the first handler under ONRUNTIMESUCCESS or ONRUNTIMEFAILED, its own condition checked.
  void fireOutcome(bool holds);
  // Enters an evaluation; false (with an error logged) when this condition is being evaluated
  // already, which means it refers to itself.
  bool beginEvaluation();
  void endEvaluation() { evaluating_ = false; }

 private:
  bool evaluating_ = false;
};

class CMC_Condition : public CMC_BasicCondition {
 public:
  // OPERAND1, OPERAND2, OPERATOR (EQUAL, NOTEQUAL, LESS, LESSEQUAL, GREATER, GREATEREQUAL, INSTANCEOF).
  CMC_Condition(CMC_ObjectsContainer* scope, CMElement* element);
  CMC_Condition(CMC_ObjectsContainer* scope, CXString name, CXString left, int op, CXString right);
  ~CMC_Condition() override;

  // Parses the operand statements (after all objects of the file exist).
  void init() override;
  bool valid(bool fire) override;
  int getOperator() const { return operator_; }
  // Record: name, first operand, operator number, second operand.
  bool serialize(CXArchive* archive) override;

  // The textual forms: one text with the operator inside, or three texts.
  static bool valid(CMC_ObjectsContainer* scope, const CXString& text);
  static bool valid(CMC_ObjectsContainer* scope, const CXString& left, const CXString& op, const CXString& right);
  static bool valid(CMC_ObjectsContainer* scope, const CXString& left, const CXString& right, int op);
  // As the three-text form with operands already evaluated: a declared variable is compared as it
  // is; a STRING literal is resolved from its text in the scope.
  static bool validObjects(CMC_ObjectsContainer* scope, CMC_Object* left, int op, CMC_Object* right, const CXString& leftText);
  // Operator text ("_", "!_", "<>", "<", "<_", ">", ">_", "?") or word to its number; 0 when unknown.
  static int operatorFromText(const CXString& text);
  static int operatorFromWord(const CXString& word);
  // Splits a one-text condition at its operator; false when it has none.
  static bool splitText(const CXString& text, CXString& left, int& op, CXString& right);
  // Compares two values by the operator (the right converted to the left's type when they differ).
  static bool compareValues(CMC_Object* left, CMC_Object* right, int op);
  // Resolves an operand text in the scope (expression, CONV, method call, number, structure field,
  // value variable, literal). The result may be pooled: release it with mc::release.
  static CMC_Object* resolveOperand(CMC_ObjectsContainer* scope, const CXString& text);

 private:
  void parseOperands();

  CXString left_;
  CXString right_;
  int operator_ = 0;
  std::unique_ptr<CMC_Behaviour_Entry> leftEntry_;
  std::unique_ptr<CMC_Behaviour_Entry> rightEntry_;
};

class CMC_ComplexCondition : public CMC_BasicCondition {
 public:
  enum Join { AND = 1, OR = 2 };
  // CONDITION1, CONDITION2, OPERATOR (AND, OR).
  CMC_ComplexCondition(CMC_ObjectsContainer* scope, CMElement* element);
  CMC_ComplexCondition(CMC_ObjectsContainer* scope, CXString name, CXString first, int join, CXString second);

  bool valid(bool fire) override;
  // Record: name, first condition name, join number, second condition name.
  bool serialize(CXArchive* archive) override;

 private:
  CXString first_;
  CXString second_;
  int join_ = 0;
};

// Methods of CONDITION and COMPLEXCONDITION: CHECK, BREAK, ONE_BREAK.
class CMC_BasicCondition_Runner : public CMC_Runner {
 public:
  enum Method { CHECK = 1, BREAK = 2, ONE_BREAK = 3 };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};
