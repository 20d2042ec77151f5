// CMC_VariableFactory: per-type pools of temporary values, reused in a ring and released each tick.
#pragma once

#include "runtime/variable.h"

class CXArchive;

class CMC_VariableFactory {
 public:
  static constexpr int POOL_SIZE = 500;

  // Creates the four pools of POOL_SIZE variables (done lazily by the first allocation as well).
  static void initialize();
  // Deletes the pools; temporaries handed out before are invalid afterwards.
  static void done();

  // The next free slot of the type's ring, marked in use. When every slot is in use the pool
  // grows by another POOL_SIZE variables, so a slot in use is never handed out twice.
  static CMC_Bool* allocBool();
  static CMC_Double* allocDouble();
  static CMC_Integer* allocInteger();
  static CMC_String* allocString();
  // By type number (INTEGER, STRING, BOOL, DOUBLE); null for any other.
  static CMC_Variable* alloc(int type);
  // Pooled temporaries holding a value: the usual results of methods.
  static CMC_Integer* integer(int32_t value) {
    CMC_Integer* v = allocInteger();
    v->setValue(value);
    return v;
  }
  static CMC_Double* number(double value) {
    CMC_Double* v = allocDouble();
    v->setValue(value);
    return v;
  }
  static CMC_Bool* boolean(bool value) {
    CMC_Bool* v = allocBool();
    v->setValue(value);
    return v;
  }
  static CMC_String* string(const CXString& value) {
    CMC_String* v = allocString();
    v->setValue(value);
    return v;
  }

  // Marks the variable's slot free; ignores null, control codes and variables not from a pool.
  static void free(CMC_Variable* variable);
  // Same as free: returns a temporary after use.
  static void flush(CMC_Variable* variable) { free(variable); }
  // A pooled temporary of the same type set from the argument; null for other types.
  static CMC_Variable* copyVariable(CMC_Variable* variable);
  // Marks every slot free; the application calls it at the start of every tick.
  static void clearPool();

  // Reads a value written by CMC_Variable::store / netstore into a pooled temporary; null when the
  // input is short or names no value type.
  static CMC_Variable* restore(CXArchive* archive);
  static CMC_Variable* netrestore(const void* buffer, int length);

  // Slots of the type's pool currently in use, and its size (for diagnostics and tests).
  static int inUse(int type);
  static int capacity(int type);
};
