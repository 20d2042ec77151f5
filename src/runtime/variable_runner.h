// CMC_Variable_Runner: the methods of INTEGER, STRING, BOOL, DOUBLE and EXPRESSION objects.
#pragma once

#include "runtime/runner.h"

class CMC_Variable;

class CMC_Variable_Runner : public CMC_Runner {
 public:
  enum Method {
    SET = 1,
    SWITCH = 2,
    CLEAR = 3,
    INC = 4,
    DEC = 5,
    ADD = 6,
    MUL = 7,
    RESETINI = 8,
    SETDEFAULT = 9,
    SUB = 10,
    DIV = 11,
    MOD = 12,
    ABS = 13,
    AND = 14,
    OR = 15,
    NOT = 16,
    XOR = 17,
    POWER = 18,
    SQRT = 20,
    CLAMP = 21,
    LENGTH = 22,
    ARCTAN = 23,
    GET = 24,
    MINA = 25,
    MAXA = 26,
    ARCTANEX = 27,
    SINUS = 28,
    COSINUS = 29,
    UPPER = 30,
    FIND = 31,
    CUT = 32,
    REPLACEAT = 33,
    INSERTAT = 34,
    REPLACE = 35,
    ROUND = 36,
    ISUPPERLETTER = 37,
    SGN = 38,
    COPYFILE = 39,
    RANDOM = 40,
    LOG = 41,
    LOWER = 48,
  };
  // INSERTAT inserts its text at most this many times.
  static constexpr int INSERT_REPEAT_LIMIT = 1000;

  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;

 private:
  CMC_Object* runOther(int id, CMC_Variable* self, CMC_ObjectsContainer* scope, const CMC_Args* args, bool discard);
  CMC_Object* runString(int id, CMC_Variable* self, const CMC_Args* args);
  CMC_Object* arithmetic(CMC_Variable* self, const CMC_Args* args, int op, bool discard);
  CMC_Object* copyFile(const CMC_Args* args);
};
