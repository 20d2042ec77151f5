// RAND: the random-number object ("RANDOM" in every application).
#pragma once

#include "runtime/object.h"
#include "runtime/runner.h"

class CMC_Rand : public CMC_Object {
 public:
  // Record: the handlers and the name.
  bool serialize(CXArchive* archive) override;
  explicit CMC_Rand(const CXString& name = CXString("RANDOM"));
};

class CMC_Rand_Runner : public CMC_Runner {
 public:
  enum Method { GET = 1, GETPLENTY };
  MethodTable ownMethods() const override;
  CMC_Object* run(int id, CMC_Object* target, CMC_ObjectsContainer* scope, const CMC_Args* args) override;
  using CMC_Runner::run;
};

namespace tarnvik {
// Registers RANDOM (one built into every application): its maker, its saved-state record and its runner.
void registerRandType();
}  // namespace tarnvik
