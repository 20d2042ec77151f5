// Argument helpers of the data objects.
#include "objects/data/value_args.h"

#include "runtime/objects_container.h"
#include "runtime/variable.h"

namespace tarnvik::args {

CMC_Object* objectOfType(const CMC_Args* args, int i, CMC_ObjectsContainer* scope, int type) {
  CMC_Object* arg = CMC_Runner::getParameter(args, i);
  if (arg && arg->getType() == type) return arg;
  if (!arg || !mc::asVariable(arg) || !scope) return nullptr;
  CMC_Object* named = scope->getObject(CMC_Runner::getParameterString(args, i));
  return named && named->getType() == type ? named : nullptr;
}

CMC_Variable* ownedCopy(CMC_Object* value) {
  Value from(value);
  CMC_Variable* copy = from.get() ? mc::makeVariable(from.get()->getType(), CXString()) : nullptr;
  if (copy) mc::copyValue(copy, from.get());
  return copy;
}

Value::Value(const CMC_Args* args, int i) : Value(CMC_Runner::getParameter(args, i)) {}

Value::Value(CMC_Object* arg) {
  value_ = mc::asVariable(arg);
  if (!value_) value_ = owned_ = mc::pooledCopy(arg);
}

Value::~Value() { mc::release(owned_); }

}  // namespace tarnvik::args
