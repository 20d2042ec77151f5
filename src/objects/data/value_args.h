// Argument helpers shared by the data objects: objects named by arguments and copies of values.
#pragma once

#include "runtime/runner.h"

class CMC_ObjectsContainer;
class CMC_Variable;

namespace tarnvik::args {

// The object of the given type an argument names: the argument itself when it has that type, else
// the object of the scope whose name is the argument's text; null when neither has the type.
CMC_Object* objectOfType(const CMC_Args* args, int i, CMC_ObjectsContainer* scope, int type);

// A new variable (not pooled, owned by the caller) with the value of `value`: a value keeps its type,
// any other object stands for its name as a STRING. Null for none.
CMC_Variable* ownedCopy(CMC_Object* value);

// An argument as a value for comparing or storing: the value itself, or a pooled STRING of an
// object's name that is released with this helper.
class Value {
 public:
  Value(const CMC_Args* args, int i);
  explicit Value(CMC_Object* arg);
  ~Value();
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  CMC_Variable* get() const { return value_; }

 private:
  CMC_Variable* value_ = nullptr;
  CMC_Variable* owned_ = nullptr;
};

}  // namespace tarnvik::args
