// CMC_Expression: operands combined left to right with + - * @ (division) and % (remainder).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/xstring.h"
#include "runtime/variable.h"

class CMElement;
class CMC_Behaviour;
class CMC_Behaviour_Entry;
class CMC_ObjectsContainer;

class CMC_Expression : public CMC_Variable {
 public:
  using CMC_Variable::calculate;
  using CMC_Variable::clone;
  using CMC_Variable::compare;
  using CMC_Variable::equals;

  // Declared in a definition file: OPERAND1, OPERAND2, OPERATOR (ADD, SUB, MUL, DIV, MOD).
  CMC_Expression(CMC_ObjectsContainer* scope, CMElement* element);
  // From the text inside "[" "]" of a code line; operand lines belong to `owner` (may be null).
  CMC_Expression(CMC_ObjectsContainer* scope, const CXString& text, CMC_Behaviour* owner = nullptr);
  ~CMC_Expression() override;

  // Parses the operands again now that all objects of the scope exist.
  void init() override;
  // Record: the variable part, then the declared flag, the operand texts and the operator numbers.
  bool serialize(CXArchive* archive) override;

  // Recomputes and returns the result (owned by the expression; valid until the next computation).
  CMC_Variable* calculate();
  // The last result, or null before the first computation.
  CMC_Variable* getResult() const { return result_; }
  // True for an expression declared in a definition file.
  bool isStill() const { return still_; }
  int getOperandCount() const { return static_cast<int>(operandTexts_.size()); }

  // Splits expression text into operand texts and operator numbers (mc::OP_ADD...). Operators inside
  // square brackets or parentheses do not split; a "-" that opens the text or follows another
  // operator is the sign of the next operand.
  static void split(std::string_view text, std::vector<std::string>& operands, std::vector<int>& operators);
  // "ADD", "SUB", "MUL", "DIV", "MOD" to the operator number; 0 for anything else.
  static int operatorFromWord(const CXString& word);

  // Value operations act on the freshly computed result.
  bool equals(CMC_Variable* v) override;
  int compare(CMC_Variable* v) override;
  CMC_Variable* convert(int type) override;
  CMC_Variable* calculate(CMC_Variable* other, int op) override;
  CXString toString() const override;
  int32_t asInteger() const override;
  double asDouble() const override;
  bool asBool() const override;

  // An expression holds no value of its own: storing into it does nothing.
  void set(CMC_Variable*) override {}
  void clear() override {}
  void swap(CMC_Variable*, CMC_Variable*) override {}
  void inc() override {}
  void dec() override {}
  void setDefault(CMC_Variable*) override {}
  void resetINI() override {}
  int getBufferLen() const override { return 0; }
  void fromString(const CXString&) override {}
  bool storeValue(CXArchive*) const override { return true; }
  bool restoreValue(CXArchive*) override { return true; }
  bool storeDefault(CXArchive*) const override { return true; }
  bool restoreDefault(CXArchive*) override { return true; }

 protected:
  void resetValue() override {}

 private:
  void parseOperands();
  CMC_Variable* compute() const;
  // The result of a computation refused (the expression meets itself, or nesting is too deep): 0.
  [[gnu::noinline, gnu::cold]] CMC_Variable* refuse() const;
  // The operator joining operand i to the ones before it.
  int operatorBefore(size_t i) const { return i - 1 < operators_.size() ? operators_[i - 1] : 0; }
  CMC_Variable* keepResult(CMC_Variable* value) const;

  CMC_ObjectsContainer* scope_ = nullptr;
  CMC_Behaviour* owner_ = nullptr;
  std::vector<CXString> operandTexts_;
  std::vector<int> operators_;
  std::vector<std::unique_ptr<CMC_Behaviour_Entry>> operands_;
  // Per operand: its value when fixed at parse time (read without running the statement), else null.
  std::vector<CMC_Object*> fixed_;
  bool still_ = false;
  // Set while the expression computes: meeting it again then is a cycle (it refers to itself).
  mutable bool computing_ = false;
  mutable CMC_Variable* result_ = nullptr;
  // One result variable per value type, made on first use; the result is copied into them so that it
  // outlives the tick's pool.
  mutable std::unique_ptr<CMC_Variable> results_[4];
};
