// CMC_Instruction_Runner: the built-in instructions written with a leading "@" (IF, LOOP, RETURN...).
#pragma once

#include <vector>

#include "foundation/xstring.h"
#include "runtime/runner.h"

class CMC_Behaviour;
class CMC_ObjectsContainer;

class CMC_Instruction_Runner : public CMC_Runner {
 public:
  enum Method {
    IF = 1,
    WHILE = 2,
    RETURN = 3,
    BREAK = 4,
    CONV = 5,
    MSGBOX = 6,
    BOOL = 7,
    DOUBLE = 8,
    INT = 9,
    STRING = 10,
    LOOP = 11,
    VALUE = 12,
    RUNONTIMER = 13,
    CREATE = 14,
    GETAPPLICATIONNAME = 15,
    GETCURRENTSCENE = 16,
    ONEBREAK = 17,
    CONTINUE = 18,
    FOR = 19,
  };
  // A WHILE stops after this many runs of its body, with an error logged.
  static constexpr long WHILE_LIMIT = 10000000;
  static void setWhileLimit(long limit);
  static long whileLimit();

  // Only the instructions: the common methods are not part of this table.
  MethodTable ownMethods() const override;
  bool hasCommonMethods() const override { return false; }
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;

  // Makes the objects CREATE asks for; installed by the layers that own those types.
  using Creator = CMC_Object* (*)(CMC_ObjectsContainer* scope, const CXString& type, const CXString& name);
  static void setCreator(Creator creator);
  struct CreateRequest {
    CXString type;
    CXString name;
  };
  // The CREATE requests no creator handled (for diagnostics and tests).
  static const std::vector<CreateRequest>& pendingCreates();
  static void clearPendingCreates();

 private:
  CMC_Object* runIf(CMC_Behaviour* self, CMC_ObjectsContainer* scope, const CMC_Args* args);
  CMC_Object* runOnTimer(CMC_ObjectsContainer* scope, const CMC_Args* args);
  CMC_Object* runWhile(CMC_Behaviour* self, CMC_ObjectsContainer* scope, const CMC_Args* args);
  CMC_Object* runReturn(CMC_Behaviour* self, CMC_ObjectsContainer* scope, const CMC_Args* args);
  CMC_Object* runDeclare(int type, CMC_Behaviour* self, CMC_ObjectsContainer* scope, const CMC_Args* args);
  CMC_Object* runLoop(CMC_Behaviour* self, CMC_ObjectsContainer* scope, const CMC_Args* args, bool withCounter);
  CMC_Object* runCreate(CMC_ObjectsContainer* scope, const CMC_Args* args);
};
